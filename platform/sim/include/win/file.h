// Files and device paths: CreateFile, ReadFile, WriteFile.
#pragma once

#include "win/base.h"
