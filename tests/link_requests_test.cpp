// The link layer against a recording stand-in for the link driver: what
// bytes each request carries and how each kind of answer is taken.
#include <string.h>

#include <string>
#include <vector>

#include "link/link.h"
#include "link/protocol.h"
#include "sim_support.h"

namespace {

struct Request {
    DWORD code;
    std::vector<BYTE> in;
    DWORD outSize;
};

struct FakeDriver {
    std::vector<Request> requests;
    DWORD failCode = 0;  // this request fails outright
    // Device ID: -1 no ID (4-byte reply), else the offset of the text in the
    // caller's buffer; idOutside points the reply outside the buffer.
    int idOffset = 2;
    bool idOutside = false;
    bool idUnterminated = false;
};

FakeDriver* fake = nullptr;

void* FakeOpen(void* registration) {
    return fake;
}

void FakeClose(void* context) {}

int FakeControl(void* context, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) {
    Request r{code, std::vector<BYTE>((const BYTE*)in, (const BYTE*)in + inSize), outSize};
    fake->requests.push_back(r);
    if (code == fake->failCode) return 0;
    LinkFlag flag = {1};
    switch (code) {
        case IOCTL_LINK_VERSION: {
            LinkVersion v = {{0, 0, 0, 0}, 18};
            memcpy(out, &v, sizeof v);
            *returned = sizeof v;
            return 1;
        }
        case IOCTL_LINK_DEVICE_ID: {
            DeviceIdRequest request;
            memcpy(&request, in, sizeof request);
            if (fake->idOffset < 0) {
                memset(out, 0, 4);
                *returned = 4;
                return 1;
            }
            char* buffer = (char*)request.buffer;
            const char* text = "MFG:Marbeck Ltd;MDL:TARN2;";
            size_t length = strlen(text) + (fake->idUnterminated ? 0 : 1);
            if (fake->idUnterminated) memset(buffer, 'x', request.size);
            memcpy(buffer + fake->idOffset, text, length);
            DeviceIdReply reply = {};
            reply.text = (LinkAddress)(fake->idOutside ? buffer + request.size : buffer + fake->idOffset);
            memcpy(out, &reply, sizeof reply);
            *returned = sizeof reply;
            return 1;
        }
        default:
            break;
    }
    memcpy(out, &flag, sizeof flag);
    *returned = sizeof flag;
    return 1;
}

const PosixDeviceOps kFakeOps = {FakeOpen, FakeControl, FakeClose};

template <typename T>
T Field(const std::vector<BYTE>& bytes, size_t offset) {
    T value;
    memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

class LinkRequests : public FreshHome {
protected:
    FakeDriver driver;
    void SetUp() override {
        FreshHome::SetUp();
        fake = &driver;
        PosixRegisterDevice("TARN2_0", &kFakeOps, nullptr);
    }
    void TearDown() override {
        PosixRegisterDevice("TARN2_0", nullptr, nullptr);
        fake = nullptr;
        FreshHome::TearDown();
    }
    const Request& Last() { return driver.requests.back(); }
};

// Offsets of the address-bearing records: exact on 32-bit builds, widened
// to the pointer on 64-bit ones.
const bool kNarrow = sizeof(void*) == 4;
const size_t kMsgParameters = kNarrow ? 4 : 8;
const size_t kMsgDirection = kNarrow ? 8 : 16;
const size_t kMsgLength = kNarrow ? 12 : 20;
const size_t kMsgData = kNarrow ? 16 : 24;

TEST_F(LinkRequests, TheDeviceIdIsMovedToTheBufferStartAndNeverFollowedOutOfIt) {
    Link* link = PPLINK_CreateLink(1);
    ASSERT_NE(link, nullptr);
    char buffer[256];
    memset(buffer, '?', sizeof buffer);
    ASSERT_EQ(PPLINK_Get1284DeviceID(link, buffer, sizeof buffer), 1u);
    EXPECT_STREQ(buffer, "MFG:Marbeck Ltd;MDL:TARN2;");
    EXPECT_EQ(Field<LinkAddress>(Last().in, 0), (LinkAddress)buffer);
    EXPECT_EQ(Field<WORD>(Last().in, sizeof(LinkAddress)), 256);
    // No ID (a 4-byte answer): the buffer is left alone.
    driver.idOffset = -1;
    memset(buffer, '?', sizeof buffer);
    EXPECT_EQ(PPLINK_Get1284DeviceID(link, buffer, sizeof buffer), 0u);
    EXPECT_EQ(buffer[0], '?');
    // An answer pointing past the buffer is refused.
    driver.idOffset = 2;
    driver.idOutside = true;
    EXPECT_EQ(PPLINK_Get1284DeviceID(link, buffer, 32), 0u);
    // Unterminated text: cut and terminated at the buffer's end.
    driver.idOutside = false;
    driver.idUnterminated = true;
    buffer[32] = 'G';
    EXPECT_EQ(PPLINK_Get1284DeviceID(link, buffer, 32), 1u);
    EXPECT_EQ((Ints{(long long)strlen(buffer), buffer[32]}), (Ints{32 - 2 - 1, 'G'}));
    PPLINK_DestroyLink(link);
}

TEST_F(LinkRequests, TransferMsgLaysOutTheCommand) {
    Link* link = PPLINK_CreateLink(1);
    ASSERT_NE(link, nullptr);
    BYTE params[4] = {0, 2, 0, 0};
    BYTE data[8] = {};
    EXPECT_EQ(CLINK_TransferMsg(link, 0xA0, 4, params, 0, 8, data), 1u);
    const Request& r = Last();
    ASSERT_EQ(r.in.size(), sizeof(MessageRequest));
    EXPECT_EQ((Ints{r.code, r.in[0], r.in[1], Field<DWORD>(r.in, kMsgDirection), Field<WORD>(r.in, kMsgLength)}),
              (Ints{0x001D2048, 0xA0, 4, 0, 8}));
    EXPECT_EQ(Field<LinkAddress>(r.in, kMsgParameters), (LinkAddress)params);
    EXPECT_EQ(Field<LinkAddress>(r.in, kMsgData), (LinkAddress)data);
    // Without parameters or data both addresses are 0.
    EXPECT_EQ(CLINK_TransferMsg(link, 0x00, 4, nullptr, 0, 0, nullptr), 1u);
    EXPECT_EQ((Ints{(long long)Field<LinkAddress>(Last().in, kMsgParameters), Field<WORD>(Last().in, kMsgLength),
                    (long long)Field<LinkAddress>(Last().in, kMsgData)}),
              (Ints{0, 0, 0}));
    driver.failCode = IOCTL_LINK_TRANSFER_MSG;
    EXPECT_EQ(CLINK_TransferMsg(link, 0x00, 4, nullptr, 0, 0, nullptr), 0u);
    PPLINK_DestroyLink(link);
}

TEST_F(LinkRequests, EveryOperationRefusesANullLink) {
    char buffer[8];
    BYTE state = 9;
    EXPECT_EQ((Ints{PPLINK_DestroyLink(nullptr), PPLINK_InitialiseLink(nullptr),
                    PPLINK_GetPortInfo(nullptr, nullptr, nullptr, nullptr),
                    PPLINK_Get1284DeviceID(nullptr, buffer, sizeof buffer),
                    CLINK_TransferMsg(nullptr, 0, 3, nullptr, 1, 8, nullptr),
                    CLINK_GetUploadStatus(nullptr, &state, nullptr), state}),
              (Ints{0, 0, 0, 0, 0, 0, 9}));
    EXPECT_TRUE(driver.requests.empty());
}

}  // namespace
