// Everything a program written for the runtime may call.
#pragma once

#include "runtime/core/pacing.h"
#include "runtime/core/program_end.h"
#include "runtime/core/runtime_state.h"
#include "runtime/core/startup.h"
#include "runtime/core/window.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/gfx2d/render_state.h"
#include "runtime/input/keyboard.h"
#include "runtime/input/mouse.h"
#include "runtime/input/waiting.h"
#include "runtime/path/path_finder.h"
#include "runtime/values/dim_array.h"
#include "runtime/values/math.h"
#include "runtime/values/random.h"
#include "runtime/values/string_functions.h"
#include "runtime/values/string_value.h"
