#include "resources/data_object.h"

#include <cstdio>
#include <iostream>

#include "base/log.h"

namespace {
void consoleLine(const std::string& text) { std::cout << text << std::endl; }
void console(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}
}  // namespace

const std::vector<std::string> shaderExtensions = {".glsl"};
const std::vector<std::string> textureExtensions = {".png", ".jpeg", ".jpg", ".hdr"};
const std::vector<std::string> rawGeometryExtensions = {".rg"};
const std::vector<std::string> indexedGeometryExtensions = {".ig"};

bool DataObject::load(std::string path) {
  Log("DataObject::load: no loader for %s\n", path.c_str());
  return false;
}

bool DataObject::bind() {
  consoleLine("Not implememnted for: " + name);
  return true;
}

void DataObject::drawQuad(int) { consoleLine("drawQuad, cant!"); }

void DataObject::bindTexture(int, int, int, int) { consoleLine("Not Implemented"); }

void DataObject::begin() { console("no begin\n"); }

void DataObject::end(bool) { console("no end\n"); }

std::pair<float, float> DataObject::getTexelSize() {
  console("no getTexelSize()");
  return {0.0f, 0.0f};
}

void DataObject::save() { console("no save!"); }

bool DataObject::active() {
  console("no active");
  return false;
}

void DataObject::drawMesh() { consoleLine("drawMesh, Cant!"); }
