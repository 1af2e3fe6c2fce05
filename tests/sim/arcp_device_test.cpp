// A virtual device's ARCP port: answers, faults and the rename hand-over to the host.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "dante/routing/internal/arcp_wire.h"
#include "platform/time_source.h"
#include "sim/lab_device.h"

namespace tavrin::sim {
namespace {

std::vector<uint8_t> request(uint16_t opcode, const std::string& body = {}) {
    std::vector<uint8_t> p(ARCP_MAX_PACKET);
    aud_byte_writer w = aud_writer_make(p.data(), p.size());
    arcp_write_head(&w, 0x2725, 3, opcode);
    aud_write_bytes(&w, body.data(), body.size());
    arcp_finish(&w);
    p.resize(w.pos);
    return p;
}

class ArcpDeviceTest : public ::testing::Test {
  protected:
    ArcpDeviceTest() : device(config(), clock, "", htonl(INADDR_LOOPBACK)) {
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        from.sin_port = htons(5555);
    }
    static lab_device_config config() {
        lab_device_config c;
        c.name = "Amp-1";
        c.amplifier = true;
        c.manufacturer = "Varnoll AB";
        c.model = "TAVRIN-PA22";
        return c;
    }
    std::vector<lab_output> send(uint16_t opcode, const std::string& body = {}) {
        auto q = request(opcode, body);
        return device.on_arcp_datagram(q.data(), q.size(), from);
    }

    fake_time clock;
    lab_device device;
    sockaddr_in from{};
};

TEST_F(ArcpDeviceTest, AnswersToTheSender) {
    auto out = send(ARCP_OP_PING);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].to.sin_port, htons(5555));
    arcp_head_t h;
    ASSERT_EQ(arcp_read_head(out[0].bytes.data(), out[0].bytes.size(), &h), AUD_SUCCESS);
    EXPECT_EQ(h.seqnum, 3);
}

TEST_F(ArcpDeviceTest, SilenceAndOfflineAnswerNothing) {
    ASSERT_EQ(device.ctl({"silence", "on"}), "ok");
    EXPECT_TRUE(send(ARCP_OP_PING).empty());
    ASSERT_EQ(device.ctl({"silence", "off"}), "ok");
    ASSERT_EQ(device.ctl({"offline"}), "ok");
    EXPECT_TRUE(send(ARCP_OP_PING).empty());
}

TEST_F(ArcpDeviceTest, RenameIsHandedToTheHostOnceUnderTheNewName) {
    EXPECT_FALSE(device.take_renamed());
    send(ARCP_OP_SET_NAME, std::string("Amp-7", 6));
    EXPECT_TRUE(device.take_renamed());
    EXPECT_FALSE(device.take_renamed());
    EXPECT_EQ(device.name(), "Amp-7");
    send(ARCP_OP_SET_NAME, std::string("Amp-7", 6));  // same name: nothing to do
    EXPECT_FALSE(device.take_renamed());
}

}  // namespace
}  // namespace tavrin::sim
