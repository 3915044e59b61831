#include "support/machine.h"

namespace {

// Every test runs with the resources the programs carry installed (a reset keeps them).
class CarriedResources : public ::testing::Environment {
public:
    void SetUp() override { SimUseCarriedResources(); }
};
const ::testing::Environment* const Installed =
    ::testing::AddGlobalTestEnvironment(new CarriedResources);

}  // namespace

PlayedSounds* PlayedSounds::current = nullptr;

void PlayedSounds::Service(const uint8_t* wav, uint32_t bytes) {
    if (current) current->wavs.emplace_back(wav, wav + bytes);
}
