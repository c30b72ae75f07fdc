// The SDK headers declare these interface IDs with DECLARE_CLASS_IID; on a
// non-COM platform each needs exactly one DEF_CLASS_IID in the program, and
// the SDK files that would carry them are not part of the copy we build from.
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

namespace Steinberg {

DEF_CLASS_IID(IPlugView)
DEF_CLASS_IID(IPlugFrame)
DEF_CLASS_IID(IPlugViewContentScaleSupport)

namespace Linux {
DEF_CLASS_IID(IEventHandler)
DEF_CLASS_IID(ITimerHandler)
DEF_CLASS_IID(IRunLoop)
} // namespace Linux

} // namespace Steinberg
