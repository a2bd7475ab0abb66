#include <gtest/gtest.h>

#include <filesystem>

#include "gpu/shader.h"
#include "gpu/uniforms.h"
#include "resources/file_utils.h"
#include "support/test_support.h"

namespace {
const char* const kTwoPart =
    "attribute vec4 pos;\n"
    "varying vec2 uv;\n"
    "void main() { uv = pos.xy * 0.5 + 0.5; gl_Position = pos; }\n"
    "//FRAGMENT\n"
    "void main() { gl_FragColor = vec4(uv, 0.0, 1.0); }\n";

class ShaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ensureGLContext());
    std::filesystem::create_directory("data");
  }
  TempDir dir;
};
}  // namespace

TEST_F(ShaderTest, TwoPartFileWithAVertexVaryingLinks) {
  writeFile("data/two.glsl", kTwoPart);
  Shader shader;
  bool loaded = false;
  const std::string out = captureStdout([&] { loaded = shader.load("data\\two.glsl"); });
  ASSERT_TRUE(loaded) << out;
  EXPECT_EQ(out, "loading shader: data\\two.glsl\ninclude: \n\tLoaded&Linked: data\\two.glsl\n");
  EXPECT_EQ(readFile("output2.txt"), "loading shader: data\\two.glsl\ninclude: \n");
  EXPECT_EQ(shader.name, "two.glsl");
  EXPECT_EQ(shader.path, "data\\two.glsl");
  EXPECT_EQ(shader.fileTime, fileModificationTime("data\\two.glsl"));
  EXPECT_TRUE(shader.kind.empty());
  EXPECT_TRUE(glIsProgram(shader.program));
  EXPECT_TRUE(shader.bind());
  EXPECT_EQ(currentProgram(), shader.program);
  glUseProgram(0);
}

TEST_F(ShaderTest, FailedLinkLogsTheIndentedInfoLogAndKeepsNoProgram) {
  // Without "//FRAGMENT" the fragment stage has only the copied varying.
  writeFile("data/nofrag.glsl", "varying vec2 uv;\nvoid main() { gl_Position = vec4(0.0); }\n");
  Shader shader;
  bool loaded = true;
  const std::string out = captureStdout([&] { loaded = shader.load("data\\nofrag.glsl"); });
  EXPECT_FALSE(loaded);
  EXPECT_EQ(shader.program, 0u);
  EXPECT_EQ(shader.vertexShader, 0u);
  EXPECT_EQ(shader.fragmentShader, 0u);

  const std::string log = readFile("output2.txt");
  const std::string header = "Debug Info for: data\\nofrag.glsl: ";
  const size_t at = log.find(header);
  ASSERT_NE(at, std::string::npos) << log;
  const size_t lengthEnd = log.find("\n\t", at);
  ASSERT_NE(lengthEnd, std::string::npos);
  EXPECT_GT(std::stoi(log.substr(at + header.size(), lengthEnd - at - header.size())), 0);
  // Every line of the report after the header starts with a tab.
  const std::string report = log.substr(lengthEnd + 1);
  EXPECT_FALSE(report.empty());
  for (size_t line = 0; line < report.size(); line = report.find('\n', line) + 1) {
    EXPECT_EQ(report[line], '\t') << report;
    if (report.find('\n', line) == std::string::npos) break;
  }
  // The console gets the log and one more line end.
  EXPECT_EQ(out, log + "\n");

  // A stage that does not compile: its own log follows the link report.
  writeFile("data/bad.glsl",
            "attribute vec4 pos;\nvoid main() { gl_Position = pos; }\n//FRAGMENT\n"
            "void main() { gl_FragColor = undefinedThing; }\n");
  Shader bad;
  const std::string badOut = captureStdout([&] { EXPECT_FALSE(bad.load("data\\bad.glsl")); });
  const size_t compileLog = badOut.find("Compile log of the fragment stage of data\\bad.glsl:\n\t");
  ASSERT_NE(compileLog, std::string::npos) << badOut;
  EXPECT_LT(badOut.find("Debug Info for: data\\bad.glsl: "), compileLog);
  EXPECT_NE(badOut.find("undefinedThing", compileLog), std::string::npos) << badOut;
  EXPECT_EQ(badOut.find("vertex stage"), std::string::npos) << badOut;
}

TEST_F(ShaderTest, IncludeIsInjectedAndALibraryIsNotCompiled) {
  writeFile("data/lib.glsl",
            "#NOCOMPILE\n"
            "vec4 tint() { return vec4(1.0, 0.5, 0.25, 1.0); }\n");
  writeFile("data/user.glsl",
            "attribute vec4 pos;\n"
            "//#include \"lib.glsl\"\n"
            "void main() { gl_Position = pos; }\n"
            "//FRAGMENT\n"
            "#include \"lib.glsl\"\n"
            "void main() { gl_FragColor = tint(); }\n");
  Shader library;
  const std::string libraryOut = captureStdout([&] { EXPECT_FALSE(library.load("data\\lib.glsl")); });
  EXPECT_EQ(libraryOut, "loading shader: data\\lib.glsl\n");

  Shader user;
  bool loaded = false;
  const std::string out = captureStdout([&] { loaded = user.load("data\\user.glsl"); });
  // Had the marker line been injected, the fragment stage would not compile.
  EXPECT_TRUE(loaded) << out;
  EXPECT_NE(out.find("injected 1 lines from data\\lib.glsl\ninclude: data\\lib.glsl\n\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(user.includeFiles, std::vector<std::string>{"data\\lib.glsl"});
  EXPECT_EQ(user.includeTimes, std::vector<int32_t>{fileModificationTime("data\\lib.glsl")});
}

TEST_F(ShaderTest, MissingFileAndMissingIncludeAreReported) {
  writeFile("data/gap.glsl",
            "attribute vec4 pos;\nvoid main() { gl_Position = pos; }\n//FRAGMENT\n"
            "#include \"gone.glsl\"\nvoid main() { gl_FragColor = vec4(1.0); }\n");
  Shader gap;
  bool loaded = false;
  std::string out = captureStdout([&] { loaded = gap.load("data\\gap.glsl"); });
  EXPECT_TRUE(loaded);
  EXPECT_NE(out.find("injected 0 lines from data\\gone.glsl\n"), std::string::npos) << out;
  EXPECT_NE(out.find("File data\\gone.glsl not found.\n"), std::string::npos) << out;
  EXPECT_EQ(gap.includeFiles, std::vector<std::string>{"data\\gone.glsl"});

  Shader missing;
  out = captureStdout([&] { loaded = missing.load("data\\missing.glsl"); });
  EXPECT_FALSE(loaded);
  EXPECT_NE(out.find("File data\\missing.glsl not found.\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Debug Info for: data\\missing.glsl: "), std::string::npos) << out;
}

TEST_F(ShaderTest, InjectIncludeAppendsToTheStageAndTheList) {
  writeFile("data/piece.glsl", "float a;\nfloat b;\n");
  Shader shader;
  std::string stage = "x\n";
  std::string list;
  EXPECT_FALSE(shader.injectInclude("float c;", "data\\s.glsl", stage, list));
  bool handled = false;
  const std::string out = captureStdout(
      [&] { handled = shader.injectInclude("#include \"piece.glsl\"", "data\\s.glsl", stage, list); });
  EXPECT_TRUE(handled);
  EXPECT_EQ(stage, "x\nfloat a;\nfloat b;\n");
  EXPECT_EQ(list, "data\\piece.glsl\n");
  EXPECT_EQ(out, "injected 2 lines from data\\piece.glsl\n");
}

TEST_F(ShaderTest, FailureNamesTheFileAndLineTheAuthorWrote) {
  // The include sits in the vertex part, so the fragment stage compiles and
  // the error must be found in the vertex stage; its line 3 is a syntax error.
  writeFile("data/common.glsl",
            "#NOCOMPILE\n"
            "vec4 shade(vec2 p) { return vec4(p, 0.0, 1.0); }\n"
            "float broken( { return 1.0; }\n");
  writeFile("data/uses.glsl",
            "attribute vec4 pos;\n"
            "varying vec2 uv;\n"
            "#include \"common.glsl\"\n"
            "void main() { uv = pos.xy; gl_Position = pos; }\n"
            "//FRAGMENT\n"
            "void main() { gl_FragColor = vec4(uv, 0.0, 1.0); }\n");
  Shader uses;
  std::string out = captureStdout([&] { EXPECT_FALSE(uses.load("data\\uses.glsl")); });
  EXPECT_EQ(uses.failure.text().rfind("data\\common.glsl:3: ", 0), 0u) << uses.failure.text() << "\n" << out;

  // Line 7 of the file is line 3 of the fragment stage, after the copied
  // varying and the included lines.
  writeFile("data/own.glsl",
            "attribute vec4 pos;\n"
            "varying vec2 uv;\n"
            "void main() { uv = pos.xy; gl_Position = pos; }\n"
            "//FRAGMENT\n"
            "#include \"common2.glsl\"\n"
            "void main() {\n"
            "  gl_FragColor = vec4(uv, undefinedThing, 1.0);\n"
            "}\n");
  writeFile("data/common2.glsl", "#NOCOMPILE\nfloat two() { return 2.0; }\n");
  Shader own;
  out = captureStdout([&] { EXPECT_FALSE(own.load("data\\own.glsl")); });
  EXPECT_EQ(own.failure.text().rfind("data\\own.glsl:7: ", 0), 0u) << own.failure.text() << "\n" << out;
  EXPECT_NE(own.failure.text().find("undefinedThing"), std::string::npos) << own.failure.text();
}

TEST_F(ShaderTest, FailureSaysWhyALoadFailedAndIsClearedAgain) {
  Shader shader;
  captureStdout([&] { EXPECT_FALSE(shader.load("data\\none.glsl")); });
  EXPECT_EQ(shader.failure.text(), "data\\none.glsl: cannot be read: No such file or directory");

  // Both stages compile; only the link log knows what is wrong.
  writeFile("data/nofrag.glsl", "varying vec2 uv;\nvoid main() { gl_Position = vec4(0.0); }\n");
  captureStdout([&] { EXPECT_FALSE(shader.load("data\\nofrag.glsl")); });
  EXPECT_EQ(shader.failure.text().rfind("data\\nofrag.glsl: ", 0), 0u) << shader.failure.text();
  EXPECT_GT(shader.failure.text().size(), std::string("data\\nofrag.glsl: ").size());

  // The missing include is the cause of the compile error that follows it.
  writeFile("data/gap.glsl",
            "attribute vec4 pos;\nvoid main() { gl_Position = pos; }\n//FRAGMENT\n"
            "#include \"gone.glsl\"\nvoid main() { gl_FragColor = tint(); }\n");
  captureStdout([&] { EXPECT_FALSE(shader.load("data\\gap.glsl")); });
  EXPECT_EQ(shader.failure.text(), "data\\gap.glsl:4: include data\\gone.glsl cannot be read");

  writeFile("data/lib.glsl", "#NOCOMPILE\nfloat f() { return 1.0; }\n");
  captureStdout([&] { EXPECT_FALSE(shader.load("data\\lib.glsl")); });
  EXPECT_TRUE(shader.failure.empty());

  captureStdout([&] { EXPECT_FALSE(shader.load("data\\none.glsl")); });
  writeFile("data/two.glsl", kTwoPart);
  captureStdout([&] { EXPECT_TRUE(shader.load("data\\two.glsl")); });
  EXPECT_TRUE(shader.failure.empty());
}
