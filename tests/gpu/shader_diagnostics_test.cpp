#include <gtest/gtest.h>

#include "gpu/shader_diagnostics.h"

TEST(ShaderDiagnostics, ReadsTheCommonDriverLogFormats) {
  struct Case {
    const char* logLine;
    int stageLine;
    const char* message;
    bool error;
  };
  const Case cases[] = {
      {"0:12(5): error: `x' undeclared", 12, "`x' undeclared", true},
      {"0:3(1): preprocessor error: syntax error", 3, "syntax error", true},
      {"0:7(20): warning: unused  ", 7, "unused", false},
      {"0(12) : error C1008: undefined variable \"x\"", 12, "undefined variable \"x\"", true},
      {"0(4) : warning C7050: \"c\" might be used", 4, "\"c\" might be used", false},
      {"ERROR: 0:12: 'x' : undeclared identifier", 12, "'x' : undeclared identifier", true},
      {"WARNING: 0:2: extension not supported", 2, "extension not supported", false},
      {"ERROR: 1 compilation errors.  No code generated.", 0, "1 compilation errors.  No code generated.", true},
      {"error: fragment shader lacks `main'", 0, "fragment shader lacks `main'", true},
      {"Fragment info", 0, "Fragment info", false},
      {"0:99999999999(1): error: far", 0, "far", true},
  };
  for (const Case& c : cases) {
    const std::vector<ShaderDiagnostic> parsed = parseShaderInfoLog(c.logLine);
    ASSERT_EQ(parsed.size(), 1u) << c.logLine;
    EXPECT_EQ(parsed[0].stageLine, c.stageLine) << c.logLine;
    EXPECT_EQ(parsed[0].message, c.message) << c.logLine;
    EXPECT_EQ(parsed[0].error, c.error) << c.logLine;
  }
  EXPECT_EQ(parseShaderInfoLog("\n  \r\n0:1(1): error: a\n\n").size(), 1u);
}

TEST(ShaderDiagnostics, NamesTheAuthorsFileAndLineOfTheFirstError) {
  const std::vector<SourceLine> origins = {{"d\\s.glsl", 3}, {"d\\lib.glsl", 2}, {"d\\s.glsl", 8}};
  struct Case {
    const char* infoLog;
    const char* described;
  };
  const Case cases[] = {
      {"0:2(9): error:   bad token  \n0:3(1): error: later\n", "d\\lib.glsl:2: bad token"},
      {"0:1(1): warning: unused\n0:3(4): error: x\n", "d\\s.glsl:8: x"},
      {"0(1) : error C0000: syntax error\n", "d\\s.glsl:3: syntax error"},
      {"ERROR: 0:3: 'y' : undeclared identifier\nERROR: 1 compilation errors.\n",
       "d\\s.glsl:8: 'y' : undeclared identifier"},
      // No line, or one the stage does not have: the shader itself is named.
      {"error: linking failed\n", "d\\s.glsl: linking failed"},
      {"0:4(1): error: past the end\n", "d\\s.glsl: past the end"},
      {"0:0(0): error: no line\n", "d\\s.glsl: no line"},
      {"Vertex info\n", "d\\s.glsl: Vertex info"},
      {"", "d\\s.glsl: the program did not link"},
      {" \n\t\n", "d\\s.glsl: the program did not link"},
  };
  for (const Case& c : cases) EXPECT_EQ(describeShaderFailure(c.infoLog, origins, "d\\s.glsl").text(), c.described) << c.infoLog;
}
