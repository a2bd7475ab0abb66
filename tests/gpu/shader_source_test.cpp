#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "gpu/shader_source.h"

namespace {
// Include files by program path; anything else is missing.
struct FakeIncludes {
  std::map<std::string, std::vector<std::string>> files;
  std::vector<std::string> requested;
  IncludeReader reader() {
    return [this](const std::string& path) -> std::optional<std::vector<std::string>> {
      requested.push_back(path);
      const auto it = files.find(path);
      if (it == files.end()) return std::nullopt;
      return it->second;
    };
  }
};
}  // namespace

TEST(ShaderSource, SplitsAtTheMarkerAndCopiesVaryingsToTheFragmentStage) {
  FakeIncludes includes;
  const PreprocessedShader s = preprocessShader(
      {"attribute vec4 pos;", "varying vec2 uv;", "void main() { uv = pos.xy; }", "//FRAGMENT",
       "varying vec3 late;", "//FRAGMENT", "void main() { gl_FragColor = vec4(uv, 0., 1.); }"},
      "bg.glsl", includes.reader());
  EXPECT_FALSE(s.notCompiled);
  EXPECT_EQ(s.vertexText,
            "attribute vec4 pos;\nvarying vec2 uv;\nvoid main() { uv = pos.xy; }\n//FRAGMENT\n");
  // Copied varyings first; a second marker and fragment-part varyings are
  // ordinary fragment lines.
  EXPECT_EQ(s.fragmentText,
            "varying vec2 uv;\nvarying vec3 late;\n//FRAGMENT\n"
            "void main() { gl_FragColor = vec4(uv, 0., 1.); }\n");
  EXPECT_EQ(s.includeList, "");
  EXPECT_TRUE(s.logLines.empty());
}

TEST(ShaderSource, MarkersMustBeWholeLines) {
  FakeIncludes includes;
  const PreprocessedShader noSwitch =
      preprocessShader({"varying float a;", "//FRAGMENT ", "void main() {}"}, "x.glsl", includes.reader());
  EXPECT_EQ(noSwitch.vertexText, "varying float a;\n//FRAGMENT \nvoid main() {}\n");
  EXPECT_EQ(noSwitch.fragmentText, "varying float a;\n");

  EXPECT_TRUE(preprocessShader({"void f();", "#NOCOMPILE", "//FRAGMENT"}, "lib.glsl",
                               includes.reader()).notCompiled);
  EXPECT_FALSE(preprocessShader({" #NOCOMPILE"}, "lib.glsl", includes.reader()).notCompiled);
  const PreprocessedShader late =
      preprocessShader({"//FRAGMENT", "#NOCOMPILE"}, "x.glsl", includes.reader());
  EXPECT_FALSE(late.notCompiled);
  EXPECT_EQ(late.fragmentText, "#NOCOMPILE\n");
}

TEST(ShaderSource, InjectsOneLevelOfIncludesRelativeToTheShader) {
  FakeIncludes includes;
  includes.files["demosrc\\norde\\data\\common.glsl"] = {"#NOCOMPILE", "float f() { return 1.0; }",
                                                         "#include \"deeper.glsl\"", "varying vec2 q;"};
  const PreprocessedShader s = preprocessShader(
      {"#include \"common.glsl\"", "//#include \"common.glsl\"", "//FRAGMENT",
       "#include \"missing.glsl\"", "#include \"common.glsl\""},
      "demosrc\\norde\\data\\bg.glsl", includes.reader());

  const std::string common =
      "float f() { return 1.0; }\n#include \"deeper.glsl\"\nvarying vec2 q;\n";
  // Injected text is not scanned: no nested include, no varying copy, and the
  // library marker is dropped.
  EXPECT_EQ(s.vertexText, common + "//#include \"common.glsl\"\n//FRAGMENT\n");
  EXPECT_EQ(s.fragmentText, common);
  EXPECT_EQ(s.includeList,
            "demosrc\\norde\\data\\common.glsl\ndemosrc\\norde\\data\\missing.glsl\n"
            "demosrc\\norde\\data\\common.glsl\n");
  EXPECT_EQ(s.logLines, (std::vector<std::string>{
                            "injected 3 lines from demosrc\\norde\\data\\common.glsl\n",
                            "injected 0 lines from demosrc\\norde\\data\\missing.glsl\n",
                            "injected 3 lines from demosrc\\norde\\data\\common.glsl\n"}));
  EXPECT_EQ(includes.requested.size(), 3u);
}

TEST(ShaderSource, IncludeLineWithoutAQuotedNameIsDroppedWithALogLine) {
  FakeIncludes includes;
  std::string stage;
  std::string list;
  EXPECT_FALSE(injectIncludeLine("float x;", "a.glsl", includes.reader(), stage, list));
  const auto logLine =
      injectIncludeLine("#include \"two words.glsl\"", "a.glsl", includes.reader(), stage, list);
  ASSERT_TRUE(logLine.has_value());
  EXPECT_NE(logLine->find("names no file"), std::string::npos);
  EXPECT_EQ(stage, "");
  EXPECT_EQ(list, "");
  EXPECT_TRUE(includes.requested.empty());

  EXPECT_EQ(includeFileName("#include \"noise.glsl\""), "noise.glsl");
  EXPECT_EQ(includeFileName("  #include   \"noise.glsl\"  "), "noise.glsl");
  EXPECT_EQ(includeFileName("#include noise.glsl"), "");
  EXPECT_EQ(includeFileName("#include \"\""), "");
  EXPECT_TRUE(isIncludeLine("x #include y"));
  EXPECT_FALSE(isIncludeLine("//#include \"a.glsl\""));
}

TEST(ShaderSource, LinesAreReadAsInTextMode) {
  EXPECT_EQ(splitSourceLines("a\r\nb\n\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(splitSourceLines(""), std::vector<std::string>{});
  EXPECT_EQ(splitSourceLines("x\n"), std::vector<std::string>{"x"});
}

TEST(ShaderSource, EveryStageLineKnowsTheFileAndLineItWasWrittenOn) {
  FakeIncludes includes;
  includes.files["d\\lib.glsl"] = {"#NOCOMPILE", "float a;", "float b;"};
  const std::vector<std::string> shader = {
      "attribute vec4 pos;", "#include \"lib.glsl\"", "varying vec2 uv;", "void main() {}",
      "//FRAGMENT",          "#include \"lib.glsl\"", "#include \"gone.glsl\"", "void main() {}"};
  const PreprocessedShader s = preprocessShader(shader, "d\\s.glsl", includes.reader());

  auto named = [](const std::vector<SourceLine>& origins) {
    std::vector<std::string> names;
    for (const SourceLine& origin : origins) names.push_back(origin.path + ":" + std::to_string(origin.line));
    return names;
  };
  // The include line itself and the library marker are gone, the "//FRAGMENT"
  // line ends the vertex stage, the copied varying opens the fragment stage.
  EXPECT_EQ(named(s.vertexOrigins),
            (std::vector<std::string>{"d\\s.glsl:1", "d\\lib.glsl:2", "d\\lib.glsl:3", "d\\s.glsl:3",
                                      "d\\s.glsl:4", "d\\s.glsl:5"}));
  EXPECT_EQ(named(s.fragmentOrigins),
            (std::vector<std::string>{"d\\s.glsl:3", "d\\lib.glsl:2", "d\\lib.glsl:3", "d\\s.glsl:8"}));

  // Line i + 1 of each stage text is the line its origin names.
  auto sourceLine = [&](const SourceLine& origin) {
    const std::vector<std::string>& file = origin.path == "d\\s.glsl" ? shader : includes.files[origin.path];
    return file.at(static_cast<size_t>(origin.line) - 1);
  };
  for (const auto& [text, origins] : {std::pair{s.vertexText, s.vertexOrigins},
                                      std::pair{s.fragmentText, s.fragmentOrigins}}) {
    const std::vector<std::string> lines = splitSourceLines(text);
    ASSERT_EQ(lines.size(), origins.size());
    ASSERT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')), origins.size());
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], sourceLine(origins[i])) << i;
  }

  ASSERT_EQ(s.unreadableIncludes.size(), 1u);
  EXPECT_EQ(s.unreadableIncludes[0].includePath, "d\\gone.glsl");
  EXPECT_EQ(s.unreadableIncludes[0].includeLine.path, "d\\s.glsl");
  EXPECT_EQ(s.unreadableIncludes[0].includeLine.line, 7);
}
