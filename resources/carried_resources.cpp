#include "resources/resources.h"
#include "simulator.h"

void SimUseCarriedResources() {
    SimSetPanelPicture(PanelBmpData, PanelBmpDataSize);
    SimSetVoiceImage(VoiceImageData, VoiceImageDataSize);
}
