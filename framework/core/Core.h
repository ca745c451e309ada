// The non-window half of the framework.
#pragma once

#include "framework/core/Object.h"
#include "framework/core/String.h"
#include "framework/core/Exceptions.h"
#include "framework/core/Geometry.h"
#include "framework/core/Time.h"
#include "framework/core/File.h"
#include "framework/core/Archive.h"
#include "framework/core/Collections.h"
#include "framework/core/Thread.h"
