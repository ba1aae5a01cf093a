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

// Why the registry cases skip, naming the first of the four keys that exists
// and is not theirs; empty when there is none. Reads only.
std::string InstallationSkipMessage();

// The keys an InstallationKeys creates, parents included, carry the cases'
// mark, a value of their own. Made and gone, it removes the marked keys,
// each only while nothing else is in it. Only where QUORVANE_REGISTRY_TESTS
// names the machine and InstallationSkipMessage is empty: elsewhere every
// member ends the process with a message before it touches a key.
class InstallationKeys {
 public:
  InstallationKeys();
  ~InstallationKeys();
  InstallationKeys(const InstallationKeys&) = delete;
  InstallationKeys& operator=(const InstallationKeys&) = delete;

  // Creates the key with a "Path" string value, terminator included.
  void SetPath(InstallationKey key, const std::wstring& path);

 private:
  static void RemoveOurs();
};

#endif
