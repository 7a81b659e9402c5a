// A file of the lowest layer that includes one above it: the layers test must refuse it.
#pragma once

#include "mpeg/frame.h"
