#pragma once

#include "ui/platform/ResourceTable.h"

namespace equalizer {

// [any] The files embedded in this module: "Roboto-Regular.ttf" and the
// editor's images. The window host gets it through SetModuleInstance.
const ui::ResourceTable* ModuleResources();

} // namespace equalizer
