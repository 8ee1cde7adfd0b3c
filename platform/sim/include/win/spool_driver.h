// Spooler calls made by printer drivers: jobs and driver information.
#pragma once

#include "win/base.h"
