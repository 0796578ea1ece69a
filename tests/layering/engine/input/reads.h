#pragma once

#include "output/writes.h"
