// tintora-name: names colours from the command line or standard input.
#include <cstdio>

#include "namer_cli.h"

int main(int argc, char** argv) {
  return tintora::RunNamer(argc, argv, stdin, stdout, stderr);
}
