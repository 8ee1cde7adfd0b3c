// Spooler calls made by monitors and applications: documents, jobs and
// enumeration.
#pragma once

#include "win/base.h"
