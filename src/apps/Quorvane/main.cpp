// Quorvane: counts the mailboxes hosted on this Domino server.
#include "Driver.h"

int main(int argc, char** argv) { return RunQuorvane(argc, argv); }
