// A Qt header below the window, which the layer check must name.
#pragma once

#include <QString>

#include "core/frame.h"
