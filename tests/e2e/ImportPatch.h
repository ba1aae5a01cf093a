// Redirects this program's own calls of a DLL function. Code linked into the
// program calls an imported function through its entry in the program's
// import address table; while an ImportPatch lives, that entry holds a
// replacement, which may forward to the original. Windows only.
#pragma once

#if defined(_WIN32)

#include <utility>
#include <vector>

class ImportPatch {
 public:
  // `dll` is compared without regard to letter case, `function` exactly.
  ImportPatch(const char* dll, const char* function, void (*replacement)(void));
  ~ImportPatch();
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;

  // Whether the program imports the function and its entry now holds the
  // replacement; when not, nothing has been changed.
  bool patched() const { return !slots_.empty(); }

  // The function the entry held before.
  template <typename Function>
  Function original() const {
    return reinterpret_cast<Function>(original_);
  }

 private:
  std::vector<std::pair<void (**)(void), void (*)(void)> > slots_;  // entry, what it held
  void (*original_)(void) = nullptr;
};

// A replacement of any function type, as ImportPatch takes it.
template <typename Function>
void (*AsAnyFunction(Function function))(void) {
  return reinterpret_cast<void (*)(void)>(function);
}

#endif
