// Runs one atomic replacement under the durability shim and prints its outcome: "0", or the
// errno (replace) or Error number (copy) of the failure.
//   durability_probe replace <target> <content> <replace 0|1>
//   durability_probe copy <from> <to>
#include <cstdio>
#include <cstring>
#include <string>

#include "data/file_operations.h"
#include "mirelda/error.h"
#include "platform/atomic_file.h"

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "replace") == 0) {
    std::printf("%d\n", mirelda::platform::ReplaceFile(argv[2], argv[3], argv[4][0] == '1'));
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "copy") == 0) {
    try {
      mirelda::data::CopyOneFile(argv[2], argv[3], true, argv[3]);
      std::printf("0\n");
    } catch (const mirelda::Error& e) {
      std::printf("%d\n", e.number());
    }
    return 0;
  }
  std::fprintf(stderr, "usage: durability_probe replace TARGET CONTENT 0|1 | copy FROM TO\n");
  return 2;
}
