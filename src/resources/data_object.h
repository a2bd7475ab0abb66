// Base of every named resource: identity fields and the ten operations that
// frame code calls without knowing the concrete class. Each default reports
// on the console that the operation is not available and returns a harmless
// value. Also the type table: which extensions each loadable class takes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class DataObject {
 public:
  DataObject() = default;
  virtual ~DataObject() = default;

  virtual bool load(std::string path);
  virtual bool bind();
  virtual void drawQuad(int unused);
  virtual void bindTexture(int unit, int minFilter, int magFilter, int wrap);
  virtual void begin();
  virtual void end(bool buildMipmaps);
  virtual std::pair<float, float> getTexelSize();
  virtual void save();
  virtual bool active();
  virtual void drawMesh();

  std::string kind;
  std::string name;
  std::string path;
  int32_t fileTime = 0;
  std::vector<std::string> includeFiles;
  std::vector<int32_t> includeTimes;
};

// The type table, in the order the registry processes it.
extern const std::vector<std::string> shaderExtensions;
extern const std::vector<std::string> textureExtensions;
extern const std::vector<std::string> rawGeometryExtensions;
extern const std::vector<std::string> indexedGeometryExtensions;
