// The simulated Windows host's umbrella header.
#pragma once

#include "win/base.h"
#include "win/kernel.h"
#include "win/gdi.h"
#include "win/profile.h"
#include "win/sync.h"
#include "win/file.h"
#include "win/module.h"
#include "win/user.h"
