#include "platform/net/FrameBuffer.h"
#include "platform/core/Exception.h"

#include <gtest/gtest.h>

TEST(FrameBuffer, PayloadsComeOutWholeHoweverTheBytesArrive)
{
    std::string stream = FrameBuffer::Wrap("first") + FrameBuffer::Wrap(std::string(300, 'x')) + FrameBuffer::Wrap("z");
    EXPECT_EQ(stream.substr(0, 4), std::string("\0\0\0\x05", 4));
    FrameBuffer in;
    std::vector<std::string> out;
    for (char c : stream) {
        in.Append(std::string_view(&c, 1));
        while (auto p = in.Next()) {
            out.push_back(*p);
        }
    }
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], "first");
    EXPECT_EQ(out[1], std::string(300, 'x'));
    EXPECT_EQ(out[2], "z");
    EXPECT_EQ(in.Buffered(), 0u);
}

TEST(FrameBuffer, BadLengthsAreRefusedFromTheHeaderAlone)
{
    FrameBuffer small(16);
    small.Append(std::string("\0\0\0\x11", 4)); // 17 bytes announced, none sent yet
    EXPECT_THROW(small.Next(), EPacketError);

    FrameBuffer huge;
    huge.Append(std::string("\xFF\xFF\xFF\xFF", 4));
    EXPECT_THROW(huge.Next(), EPacketError);

    FrameBuffer empty;
    empty.Append(std::string("\0\0\0\0", 4));
    EXPECT_THROW(empty.Next(), EPacketError);

    EXPECT_THROW(FrameBuffer::Wrap(""), EPacketError);
    EXPECT_THROW(FrameBuffer::Wrap(std::string(17, 'a'), 16), EPacketError);
    EXPECT_NO_THROW(FrameBuffer::Wrap(std::string(16, 'a'), 16));
}
