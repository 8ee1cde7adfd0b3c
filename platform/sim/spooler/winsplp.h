// winsplp.h subset for the simulated host.
#pragma once

#include <windows.h>
