#include "base/log.h"

#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <vector>

#include "base/keys.h"

std::string logFileName = "output2.txt";

void Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length < 0) {
    va_end(args);
    return;
  }
  std::vector<char> text(static_cast<size_t>(length) + 1);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);

  // Open, append and close per message: nothing is lost if the program dies.
  {
    std::ofstream file(logFileName, std::ios::app | std::ios::binary);
    if (file) file.write(text.data(), length);
  }
  std::fwrite(text.data(), 1, static_cast<size_t>(length), stdout);
  std::fflush(stdout);
}

void DumpLog() {
  std::printf("output log\n");
  std::ifstream file(logFileName, std::ios::binary);
  std::string line;
  while (std::getline(file, line)) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void DumpLogOnKey() {
  if (KeyPressed('L')) DumpLog();
}
