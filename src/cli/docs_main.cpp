// Build-time generator of brevane-batch's manual page and bash completion from its option
// table: brevane-batch-docs man|bash-completion OUTPUT.
#include <fstream>
#include <iostream>
#include <string>

#include "cli/option_docs.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: brevane-batch-docs man|bash-completion OUTPUT\n";
    return 2;
  }
  std::string kind = argv[1];
  std::string text;
  if (kind == "man")
    text = brevane::cli::manPage();
  else if (kind == "bash-completion")
    text = brevane::cli::bashCompletion();
  else {
    std::cerr << "brevane-batch-docs: unknown kind " << kind << "\n";
    return 2;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::cerr << "brevane-batch-docs: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
