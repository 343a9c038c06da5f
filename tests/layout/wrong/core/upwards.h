// An include against the layers, which the layer check must name.
#pragma once

#include "app/modmain.h"
