// The registry keys a Notes or Domino installation leaves under
// HKEY_LOCAL_MACHINE, which the tool reads to find the library's directory.
// Windows only.
#pragma once

#if defined(_WIN32)

#include <string>

enum class InstallationKey { Domino, DominoWow6432, Notes, NotesWow6432 };

// Whether one of the four keys opens for reading, as the tool opens them.
// Reads only: allowed on any machine.
bool InstallationKeyOpens();

// While an InstallationKeys lives, the test owns all four keys: none exists
// when it is made, and none is left when it goes. Only on the machine that
// QUORVANE_REGISTRY_TESTS names: anywhere else every member ends the process
// with a message before it touches a key (PrivatePrefix.h).
class InstallationKeys {
 public:
  InstallationKeys();
  ~InstallationKeys();
  InstallationKeys(const InstallationKeys&) = delete;
  InstallationKeys& operator=(const InstallationKeys&) = delete;

  // Creates the key with a "Path" string value, terminator included.
  void SetPath(InstallationKey key, const std::wstring& path);

 private:
  static void RemoveAll();
};

#endif
