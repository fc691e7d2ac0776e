// The programmer's only contact with libftdi1.
#include "link/FtdiDevice.h"

#include <ftdi.h>

namespace kelvo {

namespace {

class LibftdiDevice final : public FtdiDevice {
public:
    LibftdiDevice(ftdi_context* context, FtdiChip chip) : ftdi_(context), chip_(chip) {}
    ~LibftdiDevice() override {
        // Hand the pins back to the serial engine, so nothing stays driven.
        ftdi_set_bitmode(ftdi_, 0, BITMODE_RESET);
        ftdi_usb_close(ftdi_);
        ftdi_free(ftdi_);
    }
    LibftdiDevice(const LibftdiDevice&) = delete;
    LibftdiDevice& operator=(const LibftdiDevice&) = delete;

    FtdiChip Chip() const override { return chip_; }
    int SetBitmode(std::uint8_t outputMask, bool syncBitbang) override {
        return ftdi_set_bitmode(ftdi_, outputMask, syncBitbang ? BITMODE_SYNCBB : BITMODE_RESET);
    }
    int SetBaudrate(int baudrate) override { return ftdi_set_baudrate(ftdi_, baudrate); }
    int WriteData(const std::uint8_t* data, int size) override {
        return ftdi_write_data(ftdi_, data, size);
    }
    int ReadData(std::uint8_t* data, int size) override {
        return ftdi_read_data(ftdi_, data, size);
    }
    int Purge() override { return ftdi_tcioflush(ftdi_); }
    std::string ErrorString() const override { return ftdi_get_error_string(ftdi_); }

private:
    ftdi_context* ftdi_;
    FtdiChip chip_;
};

} // namespace

FtdiOpenResult OpenFtdiDevice(const FtdiSelector& selector) {
    ftdi_context* ftdi = ftdi_new();
    if (!ftdi)
        return {nullptr, FtdiOpenError::Failed, "libftdi could not start"};
    ftdi_set_interface(ftdi, INTERFACE_A);
    const char* serial = selector.serial.empty() ? nullptr : selector.serial.c_str();
    // -3: no such device. -8: the device node's permissions; with a serial
    // number to compare, the same shows up as -4.
    int opened = -3;
    bool denied = false;
    for (const FtdiModel& model : kFtdiModels) {
        opened = ftdi_usb_open_desc(ftdi, kFtdiVendorId, model.productId, nullptr, serial);
        if (opened >= 0)
            break;
        denied = denied || opened == -8 || opened == -4;
        if (opened != -3 && !denied)
            break;
    }
    if (opened < 0) {
        const FtdiOpenError error = denied         ? FtdiOpenError::PermissionDenied
                                    : opened == -3 ? FtdiOpenError::NotFound
                                                   : FtdiOpenError::Failed;
        FtdiOpenResult result{nullptr, error, ftdi_get_error_string(ftdi)};
        ftdi_free(ftdi);
        return result;
    }
    // Samples come back after 1 ms instead of the default 16.
    ftdi_set_latency_timer(ftdi, 1);
    const FtdiChip chip = ftdi->type == TYPE_232H    ? FtdiChip::Ft232h
                          : ftdi->type == TYPE_2232H ? FtdiChip::Ft2232h
                                                     : FtdiChip::Ft232r;
    return {std::make_unique<LibftdiDevice>(ftdi, chip), FtdiOpenError::None, {}};
}

} // namespace kelvo
