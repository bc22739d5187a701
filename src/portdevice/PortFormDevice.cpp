#include "portdevice/PortFormDevice.h"

#include "serial/PortName.h"

namespace orbiqa {

PortFormDevice::PortFormDevice(std::unique_ptr<SerialDevice> local,
                               std::unique_ptr<SerialDevice> network)
    : local_(std::move(local)), network_(std::move(network)), current_(local_.get()) {}

int PortFormDevice::Open(const std::string& portName) {
    current_ = LooksLikeNetworkPort(portName) ? network_.get() : local_.get();
    return current_->Open(portName);
}

int PortFormDevice::SetupQueues(int inputSize, int outputSize) {
    return current_->SetupQueues(inputSize, outputSize);
}

int PortFormDevice::ApplyLineSettings() {
    return current_->ApplyLineSettings();
}

int PortFormDevice::ApplyTimeouts(int writeMultiplierMs, int writeConstantMs) {
    return current_->ApplyTimeouts(writeMultiplierMs, writeConstantMs);
}

int PortFormDevice::Purge() {
    return current_->Purge();
}

void PortFormDevice::Close() {
    current_->Close();
}

long PortFormDevice::Write(const std::uint8_t* data, std::size_t count, int& error) {
    return current_->Write(data, count, error);
}

long PortFormDevice::Read(std::uint8_t* data, std::size_t count, int& error) {
    return current_->Read(data, count, error);
}

long PortFormDevice::PendingInput(int& error) {
    return current_->PendingInput(error);
}

LineErrorCounts PortFormDevice::TakeLineErrors() {
    return current_->TakeLineErrors();
}

SerialDevice::WaitResult PortFormDevice::WaitForEvent() {
    return current_->WaitForEvent();
}

void PortFormDevice::StopWaiting() {
    local_->StopWaiting();
    network_->StopWaiting();
}

void PortFormDevice::ResetStop() {
    local_->ResetStop();
    network_->ResetStop();
}

}  // namespace orbiqa
