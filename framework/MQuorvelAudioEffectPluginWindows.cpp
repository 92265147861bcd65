// The windows the common editor opens: the ABCD morphing editor and the general settings.

#include "framework/MQuorvelAudioEffectPlugin.h"

void MQuorvelAudioEffectPlugin::OpenABCDEditor(MControl& /*origin*/) {}

void MQuorvelAudioEffectPlugin::OpenSettingsWindow(MControl& /*origin*/) {}
