// A call bound to a library's function: every declared argument with its value, a data-array
// argument either a price series or another bound call whose output it receives.
#ifndef ZPK_HOST_BINDING_HPP
#define ZPK_HOST_BINDING_HPP

#include "arguments.hpp"
#include "formula.hpp"
#include "library_set.hpp"
#include "price_file.hpp"

#include <memory>
#include <string>
#include <vector>

namespace zpk::host {

struct BoundCall;

struct BoundArgument {
    ArgumentValue value;                     // unused when `inner` is set
    std::shared_ptr<const BoundCall> inner;  // a data array computed by this call
};

struct BoundCall {
    const FunctionInfo *function = nullptr;
    const LoadedLibrary *library = nullptr;
    std::string text;                 // what the call is called in output: as the user wrote it
    std::vector<BoundArgument> args;  // one per declared argument, in declared order
};

// Binds a formula's call, and every call inside it, to the functions of `libraries`: arguments by
// position in declared order, or by name; price series by name; a data-array argument may be a
// call. Throws InputError naming the call and argument for anything that does not fit.
BoundCall bindFormula(const FormulaCall &formula, const LibrarySet &libraries,
                      const PriceTable &prices);

// The command-line form of one call: NAME=VALUE assignments to the arguments of `function` of
// `library`, headed by the function's name.
BoundCall bindAssignments(const LoadedLibrary &library, const FunctionInfo &function,
                          const std::vector<std::string> &assignments, const PriceTable &prices);

}  // namespace zpk::host

#endif
