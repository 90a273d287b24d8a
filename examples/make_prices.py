#!/usr/bin/env python3
"""Writes the sample daily price file: a seeded random walk of weekday bars.

The walk is seeded, so running this again gives the same file byte for byte:

    python3 examples/make_prices.py            # writes examples/prices.csv
    python3 examples/make_prices.py other.csv  # or any other path

Prices have two decimals and every bar is consistent: high >= max(open, close) and
low <= min(open, close), with all four above zero. Volumes are whole numbers.
"""

import datetime
import math
import pathlib
import random
import sys

SEED = 20260101
BARS = 2000
FIRST_DAY = datetime.date(2018, 1, 2)
START_PRICE = 100.0
DAILY_DRIFT = 0.0002
DAILY_VOLATILITY = 0.015
BASE_VOLUME = 1_200_000


def weekdays(first):
    """Every Monday to Friday from `first` on."""
    day = first
    while True:
        if day.weekday() < 5:
            yield day
        day += datetime.timedelta(days=1)


def cents(value):
    """The price rounded to two decimals, never below one cent."""
    return max(0.01, round(value, 2))


def make_bar(rng, previous_close):
    """One bar that opens near the previous close and moves by a log-normal step."""
    open_ = cents(previous_close * math.exp(rng.gauss(0.0, DAILY_VOLATILITY / 4)))
    close = cents(open_ * math.exp(rng.gauss(DAILY_DRIFT, DAILY_VOLATILITY)))
    reach_up = abs(rng.gauss(0.0, DAILY_VOLATILITY / 2))
    reach_down = abs(rng.gauss(0.0, DAILY_VOLATILITY / 2))
    # Rounding may pull an extreme inside the body; the body bounds it again afterwards.
    high = max(cents(max(open_, close) * (1.0 + reach_up)), open_, close)
    low = min(cents(min(open_, close) * (1.0 - reach_down)), open_, close)
    # Busier days move further: volume grows with the bar's range.
    spread = (high - low) / close
    volume = int(BASE_VOLUME * (0.5 + rng.random()) * (1.0 + 20.0 * spread))
    return open_, high, low, close, volume


def price_rows(seed, bars):
    rng = random.Random(seed)
    close = START_PRICE
    for day, _ in zip(weekdays(FIRST_DAY), range(bars)):
        open_, high, low, close, volume = make_bar(rng, close)
        yield f"{day.isoformat()},{open_:.2f},{high:.2f},{low:.2f},{close:.2f},{volume}"


def main(argv):
    target = pathlib.Path(argv[1]) if len(argv) > 1 else pathlib.Path(__file__).with_name("prices.csv")
    lines = ["Date,Open,High,Low,Close,Volume", *price_rows(SEED, BARS)]
    target.write_text("\n".join(lines) + "\n", encoding="ascii", newline="\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
