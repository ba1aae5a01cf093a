// Binds the stand-in runtime linked into a test or benchmark into the tool's
// NotesApi table, and checks at compile time that the two readings of the
// library agree on every call shape: the stand-in declares its entry points
// in its own types, the tool in its own, and each stand-in function type must
// be exactly the tool's pointer type once the stand-in's collection position
// is read as the tool's.
#pragma once

#include <cstddef>
#include <type_traits>

#include "Exports.h"
#include "NotesApi.h"

namespace standin_binding {

// The two position structs are one layout.
static_assert(sizeof(standin::ReadPosition) == sizeof(CollectionPosition), "position size");
static_assert(alignof(standin::ReadPosition) == alignof(CollectionPosition), "position alignment");
static_assert(offsetof(standin::ReadPosition, level) == offsetof(CollectionPosition, Level),
              "position level");
static_assert(offsetof(standin::ReadPosition, minLevel) == offsetof(CollectionPosition, MinLevel),
              "position lower bound");
static_assert(offsetof(standin::ReadPosition, maxLevel) == offsetof(CollectionPosition, MaxLevel),
              "position upper bound");
static_assert(offsetof(standin::ReadPosition, tumbler) == offsetof(CollectionPosition, Tumbler),
              "position tumblers");
static_assert(sizeof(standin::ReadPosition::tumbler) == sizeof(CollectionPosition::Tumbler),
              "tumbler count");

// A stand-in type as the tool names it: the position pointer maps to the
// tool's, every other type stays as it is and must then be the tool's own.
template <typename T>
struct AsTool {
  using type = T;
};
template <>
struct AsTool<standin::ReadPosition*> {
  using type = CollectionPosition*;
};

template <typename Function>
struct AsToolPointer;
template <typename Result, typename... Parameters>
struct AsToolPointer<Result(Parameters...)> {
  using type = typename AsTool<Result>::type (*)(typename AsTool<Parameters>::type...);
};

// The stand-in exports seventeen entry points; the tool must bind as many.
static_assert(kNotesEntryPointCount == 17, "one table entry per stand-in export");

}  // namespace standin_binding

// Points every entry of `table` at the stand-in's function of that name. A
// table entry without a stand-in function of that name does not compile, nor
// does one whose result or any parameter differs.
inline void BindStandIn(NotesApiTable& table) {
#define STANDIN_BIND_ENTRY_POINT(result, name, parameters)                           \
  static_assert(std::is_same<standin_binding::AsToolPointer<decltype(::name)>::type, \
                             decltype(NotesApiTable::name)>::value,                  \
                "the stand-in's " #name " differs from the tool's");                 \
  table.name = reinterpret_cast<decltype(NotesApiTable::name)>(&::name);
  NOTES_ENTRY_POINTS(STANDIN_BIND_ENTRY_POINT)
#undef STANDIN_BIND_ENTRY_POINT
}
