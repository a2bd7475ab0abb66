// The one include for OpenGL entry points (GLEW, compatibility profile).
#pragma once

#include <GL/glew.h>
