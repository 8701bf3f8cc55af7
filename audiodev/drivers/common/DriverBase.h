#pragma once

// What Corvane's own drivers share: the name and error text, the channel
// layout and sample type, the double buffers handed to the host, the clock
// source and the sample position. A concrete driver decides the layout in
// init and moves the samples between its device and the buffers.
//
// Threads: the host's control thread calls the operations; the driver's audio
// thread calls runBlock and reads the buffers while the driver runs. Buffers
// are created and disposed only while the driver is stopped.

#include "audiodev/AudioDriver.h"

#include <atomic>
#include <string>
#include <vector>

namespace audiodev
{

class DriverBase : public AudioDriver
{
public:
    explicit DriverBase(std::string name);

    void getDriverName(char* name) override;
    long getDriverVersion() override { return 1; }
    void getErrorMessage(char* text) override;
    long getChannels(long* numInputChannels, long* numOutputChannels) override;
    long getBufferSize(long* minSize, long* maxSize, long* preferredSize,
                       long* granularity) override;
    long getClockSources(ClockSource* clocks, long* numSources) override;
    long setClockSource(long reference) override;
    long getSamplePosition(int64_t* samplePosition, int64_t* systemTime) override;
    long getChannelInfo(ChannelInfo* info) override;
    long createBuffers(BufferInfo* bufferInfos, long numChannels, long bufferSize,
                       const DriverCallbacks* callbacks) override;
    long disposeBuffers() override;
    long controlPanel() override { return DriverNotPresent; }
    long future(long selector, void* options) override;
    long outputReady() override { return DriverOk; }

protected:
    // Called by createBuffers once the buffers exist (allocate device-side
    // scratch space here); a failure undoes the creation.
    virtual bool buffersCreated() { return true; }
    // Whether the device is streaming; disposeBuffers stops it first.
    virtual bool isRunning() const = 0;

    void setErrorText(const std::string& text);

    // Audio thread: hands half `index` to the host and advances the position
    // by one block.
    void runBlock(long index) noexcept;
    // Audio thread: the host's buffer of a channel (nullptr if not created).
    unsigned char* inputBuffer(long channel, long index) const noexcept;
    unsigned char* outputBuffer(long channel, long index) const noexcept;
    size_t bytesPerBlock() const noexcept;
    void resetPosition() noexcept;

    std::string m_name;
    long m_numInputs = 0;
    long m_numOutputs = 0;
    long m_blockSize = 256;
    SampleType m_sampleType = SampleFloat32LSB;
    // Read by the audio thread and the JACK watcher; set while stopped.
    std::atomic<const DriverCallbacks*> m_callbacks{nullptr};

private:
    std::string m_errorText;
    std::vector<unsigned char> m_storage;
    // Two halves per channel; null for channels the host did not ask for.
    std::vector<unsigned char*> m_inputHalves;
    std::vector<unsigned char*> m_outputHalves;
    std::atomic<int64_t> m_samplePosition{0};
    std::atomic<int64_t> m_systemTime{0};
};

} // namespace audiodev
