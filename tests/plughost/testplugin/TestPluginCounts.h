#pragma once

// What Corvane's test plug-ins count, read by the tests through the
// exported function corvaneTestPluginCounts (the test keeps its own handle
// on the library, so the counts outlive the host's loads and unloads).
//
// The rule breaks a host must never cause are counted, each test asserts
// they stay 0: a configuration call (open, close, rate, block size, on/off)
// while a block runs; a block while the plug-in is switched off; two
// dispatcher calls at once from different threads.

#include <atomic>
#include <cstdint>

struct TestPluginCounts
{
    // Rule breaks.
    std::atomic<int> configurationInBlock{0};
    std::atomic<int> processWhileSuspended{0};
    std::atomic<int> overlappingCalls{0};

    // What happened.
    std::atomic<int> instances{0}; // alive now
    std::atomic<int> blocks{0};
    std::atomic<int> opens{0};
    std::atomic<int> closes{0};
    std::atomic<int> editorOpens{0};
    std::atomic<int> editorCloses{0};
    std::atomic<int> editorIdles{0};
    std::atomic<int> idles{0};
    std::atomic<int> midiEvents{0};
    std::atomic<int> lastBlockSize{0};
    std::atomic<float> lastSampleRate{0.0f};
    // The host's answers during the entry call, before it knows the effect.
    std::atomic<intptr_t> hostVersionAtEntry{0};
    std::atomic<intptr_t> hostRateAtEntry{0};
    // The host's transport position at the last block.
    std::atomic<double> lastTimePosition{-1.0};
    std::atomic<intptr_t> editorParent{0};
    // What the sine synth received.
    std::atomic<int> noteOns{0};
    std::atomic<int> noteOffs{0};
    std::atomic<int> lastNote{-1};
    std::atomic<int> controlChanges{0};
    std::atomic<int> lastBankMsb{-1};
    std::atomic<int> lastBankLsb{-1};
    std::atomic<int> lastProgram{-1};
    std::atomic<int> lastProgramChannel{-1};
    std::atomic<int> sysexEvents{0};

    int ruleBreaks() const
    {
        return configurationInBlock.load() + processWhileSuspended.load() + overlappingCalls.load();
    }
};

using TestPluginCountsProc = TestPluginCounts* (*)();
