// The one translation unit that holds stb_image's implementation, reduced to
// its Radiance HDR reader: PNG and JPEG go through libpng and libjpeg-turbo
// (gpu/texture_pixels.cpp), so no other stb decoder is even linked, and
// nothing here opens files. Failure texts are stb's longer ones, for people.
#define STBI_ONLY_HDR
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
