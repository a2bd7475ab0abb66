// Which wires a GL driver gets below full size, and the text of the shaded
// variant of a wire shader.
#include <gtest/gtest.h>

#include "demo/shaded_wires.h"
#include "demo/wire_style.h"

TEST(WireStyle, SoftwareDriversShadeTheirWiresOthersDrawLines) {
  struct Case {
    const char* renderer;
    WireStyle style;
  };
  const Case cases[] = {
      {"llvmpipe (LLVM 15.0.6, 256 bits)", WireStyle::kShadedBelowFullSize},
      {"softpipe", WireStyle::kShadedBelowFullSize},
      {"Mesa DRI swrast", WireStyle::kShadedBelowFullSize},
      {"Software Rasterizer", WireStyle::kShadedBelowFullSize},
      {"NVIDIA H100 80GB HBM3/PCIe/SSE2", WireStyle::kLines},
      {"AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6, DRM 3.49)", WireStyle::kLines},
      {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", WireStyle::kLines},
      {"", WireStyle::kLines},
  };
  for (const Case& c : cases) EXPECT_EQ(wireStyleForRenderer(c.renderer), c.style) << c.renderer;

  WireStyle style = WireStyle::kLines;
  EXPECT_TRUE(parseWireStyle("shaded", style));
  EXPECT_EQ(style, WireStyle::kShadedBelowFullSize);
  EXPECT_TRUE(parseWireStyle("lines", style));
  EXPECT_EQ(style, WireStyle::kLines);
  EXPECT_FALSE(parseWireStyle("Lines", style));
  EXPECT_EQ(style, WireStyle::kLines);
}

TEST(ShadedWires, TheVariantRunsTheShadersOwnMainsAndDeclaresTheGridOnce) {
  const std::string vertex = "attribute vec3 pos;\nvoid main()\n{\n    gl_Position = vec4(pos, 1.0);\n}\n";
  const std::string fragment = "uniform float a;\nvoid main()\n{\n    gl_FragColor = vec4(1.0, 1.0, 1.0, a);\n}\n";
  const ShaderStageTexts stages = shadedWireStages(vertex, fragment);
  for (const std::string* text : {&stages.vertex, &stages.fragment}) {
    // The shader's own main keeps its code under another name, called from
    // the variant's main.
    EXPECT_EQ(text->rfind("#define main shadedWireProductionMain\n", 0), 0u) << *text;
    EXPECT_NE(text->find("#undef main\n"), std::string::npos);
    EXPECT_NE(text->find("    shadedWireProductionMain();\n"), std::string::npos);
    EXPECT_NE(text->find("varying vec2 shadedWireGrid;"), std::string::npos);
  }
  EXPECT_NE(stages.vertex.find("attribute vec2 tc;"), std::string::npos);
  EXPECT_NE(stages.fragment.find("gl_FragColor.a = alpha;"), std::string::npos);

  // A shader that reads the grid's texture coordinates itself keeps its own
  // declaration.
  const std::string withTc = "attribute vec2  tc ;\n" + vertex;
  const std::string text = shadedWireStages(withTc, fragment).vertex;
  EXPECT_EQ(text.find("attribute vec2 tc;"), std::string::npos) << text;
  EXPECT_NE(text.find("tc * 255.0"), std::string::npos);
}
