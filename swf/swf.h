#pragma once

// The whole public interface of the SWF writing library.
#include "swf/bitmaps.h"
#include "swf/container.h"
#include "swf/control_tags.h"
#include "swf/morph.h"
#include "swf/movie_stream.h"
#include "swf/objects.h"
#include "swf/records.h"
#include "swf/shape_records.h"
#include "swf/shapes.h"
#include "swf/stream.h"
#include "swf/text.h"
