/* The host half of the header compile tests: drives the plug-in of plugin_side through the
 * header's declarations and function-pointer typedefs, and checks the bounded text copy, which is
 * compiled into both translation units. Compiled as C (C99, C11) and, through host_side.cpp, as
 * C++. Exits 0 when every check holds; each failed check prints its line. */
#include "zpk/zpk.h"

#include "sdk_header_test.h"

#include <stdio.h>
#include <string.h>

static int failures = 0;

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            printf("%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);                        \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

/* A field with guard bytes after it: a copy that writes past the field changes them. */
typedef struct GuardedField {
    char field[TextFieldSize];
    char guard[8];
} GuardedField;

static void fill(GuardedField *g, char c)
{
    memset(g, c, sizeof *g);
}

static int guardIntact(const GuardedField *g, char c)
{
    size_t i;
    for (i = 0; i < sizeof g->guard; ++i) {
        if (g->guard[i] != c) {
            return 0;
        }
    }
    return 1;
}

static int allEqual(const char *bytes, size_t from, size_t to, char c)
{
    size_t i;
    for (i = from; i < to; ++i) {
        if (bytes[i] != c) {
            return 0;
        }
    }
    return 1;
}

static void checkTextCopy(void)
{
    GuardedField g;
    char source[2 * TextFieldSize];
    size_t n;

    /* A longer source is cut after 99 characters; nothing beyond the field is written. */
    memset(source, 'a', sizeof source - 1);
    source[sizeof source - 1] = '\0';
    fill(&g, 'x');
    n = zpk_copy_text(g.field, source);
    CHECK(n == TextFieldSize - 1);
    CHECK(allEqual(g.field, 0, TextFieldSize - 1, 'a'));
    CHECK(g.field[TextFieldSize - 1] == '\0');
    CHECK(guardIntact(&g, 'x'));

    fill(&g, 'x');
    n = zpk_copy_text_padded(g.field, source);
    CHECK(n == TextFieldSize - 1);
    CHECK(g.field[TextFieldSize - 1] == '\0');
    CHECK(guardIntact(&g, 'x'));

    /* Exactly 99 characters fit. */
    source[TextFieldSize - 1] = '\0';
    fill(&g, 'x');
    CHECK(zpk_copy_text(g.field, source) == TextFieldSize - 1);
    CHECK(g.field[TextFieldSize - 1] == '\0');

    /* The plain copy leaves the bytes after its NUL as they were ... */
    fill(&g, 'x');
    CHECK(zpk_copy_text(g.field, "abc") == 3);
    CHECK(memcmp(g.field, "abc", 4) == 0);
    CHECK(allEqual(g.field, 4, TextFieldSize, 'x'));

    /* ... the padded one clears the rest of the first 99 bytes, and only those. */
    fill(&g, 'x');
    CHECK(zpk_copy_text_padded(g.field, "abc") == 3);
    CHECK(memcmp(g.field, "abc", 4) == 0);
    CHECK(allEqual(g.field, 4, TextFieldSize - 1, '\0'));
    CHECK(g.field[TextFieldSize - 1] == 'x');
    CHECK(guardIntact(&g, 'x'));

    /* No source is an empty text. */
    fill(&g, 'x');
    CHECK(zpk_copy_text(g.field, NULL) == 0);
    CHECK(g.field[0] == '\0');
    CHECK(g.field[1] == 'x');
}

static void checkQueries(void)
{
    /* The typedefs take the declared entry points without a cast. */
    ZPKInfoFunction info = ZPKInfo;
    ZPKNthFunctionFunction nth = ZPKNthFunction;
    LibraryInfoRec library;
    FunctionInfoRec function;

    memset(&library, 'x', sizeof library);
    CHECK(info(&library) == StatusSuccess);
    CHECK(strcmp(library.copyright, "SDK header test plug-in") == 0);
    CHECK(library.functionCount == 1);
    CHECK(library.interfaceVersion == 1);

    memset(&function, 'x', sizeof function);
    CHECK(nth(0, &function) == StatusSuccess);
    CHECK(strcmp(function.name, "Twice") == 0);
    CHECK(strcmp(function.description, "Twice the close") == 0);
    CHECK(function.argCount == 0);
    CHECK(nth(1, &function) == StatusFailure);
    CHECK(nth(-1, &function) == StatusFailure);
}

enum { Bars = 6 };

typedef struct CallRecords {
    float32 close[Bars];
    float32 output[Bars];
    DataArrayRec outputRec;
    PriceDataRec prices;
    DataArgs dataArgs;
    NumericArgs numericArgs;
    StringArgs stringArgs;
    CustomArgs customArgs;
    ResultRec result;
} CallRecords;

static void prepare(CallRecords *r)
{
    int i;
    memset(r, 0, sizeof *r);
    for (i = 0; i < Bars; ++i) {
        r->close[i] = 1.5f + (float32)i;
        r->output[i] = -7.0f;
    }
    r->prices.close.values = r->close;
    r->prices.close.firstValid = 1;
    r->prices.close.lastValid = 4;
    r->outputRec.values = r->output;
    r->outputRec.firstValid = 99;
    r->outputRec.lastValid = 99;
    r->result.data = &r->outputRec;
    memset(r->result.errorText, 'x', sizeof r->result.errorText);
}

static void checkCalculation(CalcFunction calc, int32 expectedFirst, int32 expectedLast,
                             const float32 *expected)
{
    CallRecords r;
    int32 i;
    prepare(&r);
    CHECK(calc(&r.prices, &r.dataArgs, &r.numericArgs, &r.stringArgs, &r.customArgs, &r.result) ==
          StatusSuccess);
    CHECK(r.outputRec.firstValid == expectedFirst);
    CHECK(r.outputRec.lastValid == expectedLast);
    for (i = expectedFirst; i <= expectedLast; ++i) {
        CHECK(r.output[i] == expected[i]);
    }
    /* A successful call leaves errorText as the host passed it. */
    CHECK(allEqual(r.result.errorText, 0, TextFieldSize, 'x'));
}

static void checkTwice(void)
{
    const float32 doubled[Bars] = {0.0f, 5.0f, 7.0f, 9.0f, 11.0f, 0.0f};
    CallRecords r;

    checkCalculation(Twice, 1, 4, doubled);

    /* A rejected call: the message cut to 99 characters, the empty range, StatusFailure. */
    prepare(&r);
    r.numericArgs.count = 1;
    CHECK(Twice(&r.prices, &r.dataArgs, &r.numericArgs, &r.stringArgs, &r.customArgs, &r.result) ==
          StatusFailure);
    CHECK(r.outputRec.firstValid == 0);
    CHECK(r.outputRec.lastValid == -1);
    CHECK(strlen(r.result.errorText) == TextFieldSize - 1);
    CHECK(strncmp(r.result.errorText, ZPK_SDK_TEST_LONG_MESSAGE, TextFieldSize - 1) == 0);
}

#ifdef ZPK_SDK_TEST_PLUGIN_HPP
static void checkCloseMinusOpen(void)
{
    float32 opens[Bars] = {1.0f, 1.0f, 2.0f, 4.0f, 8.0f, 16.0f};
    float32 expected[Bars];
    CallRecords r;
    int i;
    for (i = 0; i < Bars; ++i) {
        expected[i] = (1.5f + (float32)i) - opens[i];
    }
    prepare(&r);
    r.prices.open.values = opens;
    r.prices.open.firstValid = 0;
    r.prices.open.lastValid = Bars - 1;
    CHECK(CloseMinusOpen(&r.prices, &r.dataArgs, &r.numericArgs, &r.stringArgs, &r.customArgs,
                         &r.result) == StatusSuccess);
    CHECK(r.outputRec.firstValid == 1);
    CHECK(r.outputRec.lastValid == 4);
    for (i = 1; i <= 4; ++i) {
        CHECK(r.output[i] == expected[i]);
    }

    prepare(&r);
    r.prices.close.firstValid = 3;
    r.prices.close.lastValid = 2;
    CHECK(CloseMinusOpen(&r.prices, &r.dataArgs, &r.numericArgs, &r.stringArgs, &r.customArgs,
                         &r.result) == StatusFailure);
    CHECK(strcmp(r.result.errorText, "No closes") == 0);
    CHECK(r.outputRec.firstValid == 0);
    CHECK(r.outputRec.lastValid == -1);
}
#endif

int main(void)
{
    checkTextCopy();
    checkQueries();
    checkTwice();
#ifdef ZPK_SDK_TEST_PLUGIN_HPP
    checkCloseMinusOpen();
#endif
    if (failures != 0) {
        printf("%d check(s) failed\n", failures);
        return 1;
    }
    printf("all checks passed\n");
    return 0;
}
