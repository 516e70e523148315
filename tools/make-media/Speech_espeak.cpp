// Speech from the espeak-ng library, in its Dutch voice; the woman's voice is its female variant.
#include "tools/make-media/Speech.h"

#include <espeak-ng/speak_lib.h>
#include <stdexcept>

namespace kw::tools {

namespace {

std::vector<std::int16_t>* gSink = nullptr;

int Collect(short* wav, int count, espeak_EVENT*) {
    if (wav && gSink)
        gSink->insert(gSink->end(), wav, wav + count);
    return 0;
}

int Rate() {
    static const int rate = [] {
        const int r =
            espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
        if (r <= 0)
            throw std::runtime_error("espeak-ng can't be started (is espeak-ng-data there?)");
        espeak_SetSynthCallback(Collect);
        return r;
    }();
    return rate;
}

} // namespace

std::string SpeechEngine() {
    const char* path = nullptr;
    return std::string("espeak-ng ") + espeak_Info(&path);
}

std::vector<std::int16_t> Speak(const std::string& utf8, Voice voice) {
    const int rate = Rate();
    if (espeak_SetVoiceByName(voice == Voice::Man ? "nl" : "nl+f3") != EE_OK)
        throw std::runtime_error("espeak-ng has no Dutch voice");
    std::vector<std::int16_t> samples;
    gSink = &samples;
    const espeak_ERROR e = espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0,
                                        espeakCHARS_UTF8, nullptr, nullptr);
    espeak_Synchronize();
    gSink = nullptr;
    if (e != EE_OK)
        throw std::runtime_error("espeak-ng could not speak '" + utf8 + "'");
    return TrimSilence(Resample(samples, rate, kSampleRate));
}

} // namespace kw::tools
