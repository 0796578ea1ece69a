#pragma once

#include "run/worker.h"
#include "scan/bytes.h"
