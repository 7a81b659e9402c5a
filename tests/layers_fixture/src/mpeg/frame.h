#pragma once

#include "io/file.h"
