// The dialog resources: the About box (100), the title panel form (101), the reconstruction
// window (130) and the point-source window (131).
#pragma once

#include "platform/dialog_template.h"

namespace sinora::res {

const DialogTemplate& aboutBoxTemplate();
const DialogTemplate& titleFormTemplate();
const DialogTemplate& reconWindowTemplate();
const DialogTemplate& pointSourceWindowTemplate();

// The title band texts of the two windows.
extern const char kReconTitle[];
extern const char kPointSourceTitle[];

}  // namespace sinora::res
