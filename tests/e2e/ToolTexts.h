// Texts the tool prints, and the notes.ini most cases run with, as the
// end-to-end tests expect them byte for byte.
#pragma once

#include <string>

const std::string kIni = "MailServer=CN=Alpha/O=Acme\nStandInLeakReport=leaks.txt\n";

const std::string kUsage =
    "\nVarnel command-line tool\n"
    "Copyright (C) 2026 Varnel. All rights reserved.\n"
    "\n"
    "Usage: Quorvane.exe [Options]\n"
    "Options:\n"
    "\t/path     Server data path (must be specified for partition servers)\n"
    "\t/names    List mailbox(es)\n"
    "\t/details  List detailed information\n"
    "\t/help     Print this help\n"
    "\t/servers  Count the mailboxes of every server in the directory\n"
    "\t/check    Show what the count rests on (status 2 when in doubt)\n";

const std::string kCountFailed = "Error: Unable to count mailboxes.\n";
const std::string kLoadFailed = "Error: Unable to load dll (nnotes.dll).\n";
const std::string kNoInstallation = "Error: unable to obtain domino dir.\n";

inline std::string Count(unsigned n) { return "\nMailbox count: " + std::to_string(n) + "\n\n"; }
