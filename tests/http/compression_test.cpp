// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <zlib.h>

#include "http_world.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "http/fetch.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace quillstash {
namespace {

using namespace std::chrono_literals;
using test::ScriptedResponse;

// `text` compressed: windowBits 31 = gzip, 15 = zlib-wrapped deflate, -15 = bare deflate.
std::string compress(const std::string& text, int windowBits) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&stream, text.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

ScriptedResponse encoded(const std::string& coding, const std::string& body) {
  ScriptedResponse response = ScriptedResponse::make("HTTP/1.1 200 OK", "Content-Encoding: " + coding + "\r\n", body);
  response.keepAlive = true;
  return response;
}

class Compression : public ::testing::Test, protected test::HttpClientWorld {
 protected:
  Compression() { fileNumber = 3; }

  bool logged(const std::string& text) const { return view.text().find(text) != std::string::npos; }
};

TEST_F(Compression, decodesGzipAndDeflateBodiesOfPagesAndFiles) {
  std::string html = "<html><body>";
  for (int i = 0; i < 2000; ++i) html += "<a href=\"viewtopic.php?t=" + std::to_string(i) + "\">topic</a>\n";
  html += "</body></html>";
  const std::string gzipped = compress(html, 31);
  // A chunked gzip body arriving in small pieces, chunk borders inside the compressed data.
  ScriptedResponse chunked;
  chunked.keepAlive = true;
  chunked.pieces.push_back("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n");
  for (std::size_t at = 0; at < gzipped.size(); at += 700) {
    const std::string part = gzipped.substr(at, 700);
    char size[16];
    std::snprintf(size, sizeof size, "%zx\r\n", part.size());
    chunked.pieces.push_back(size + part + "\r\n");
  }
  chunked.pieces.push_back("0\r\n\r\n");
  server.route("/gzip", chunked);
  server.route("/zlib", encoded("deflate", compress(html, 15)));
  server.route("/bare.bin", encoded("deflate", compress("bare deflate file", -15)));
  // Two gzip members one after the other make one body.
  server.route("/two.txt", encoded("x-gzip", compress("first, ", 31) + compress("second", 31)));

  EXPECT_EQ(fetch(server.base() + "/gzip"), html);
  EXPECT_EQ(fetch(server.base() + "/zlib"), html);
  EXPECT_TRUE(save(server.base() + "/bare.bin"));
  EXPECT_EQ(test::readFile(dir.file("00003 bare.bin")), "bare deflate file");
  EXPECT_TRUE(save(server.base() + "/two.txt"));
  EXPECT_EQ(test::readFile(dir.file("00003 two.txt")), "first, second");
  EXPECT_NE(server.requests()[0].find("\r\nAccept-Encoding: gzip, deflate\r\n\r\n"), std::string::npos);
  EXPECT_FALSE(logged("[ X ]")) << view.text();
  EXPECT_EQ(server.connectionCount(), 1u);
}

TEST_F(Compression, stopsABodyThatDecompressesBeyondThePageOrFileLimit) {
  const std::string bomb = compress(std::string(24u << 20, '\0'), 31);  // 24 MiB in a few KiB
  ASSERT_LT(bomb.size(), 64u << 10);
  server.route("/page", encoded("gzip", bomb));
  server.route("/file.zip", encoded("gzip", bomb));
  configure([](Settings& s) { s.maxFileBytes = 1u << 20; });

  const std::size_t header = std::string("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: ").size() +
                             std::to_string(bomb.size()).size() + 4;
  job->forumAddress.assign(server.base() + "/page");
  EXPECT_EQ(client.fetchToMemory(*job, page, false), PageBlock::kDefaultCapacity - header);
  EXPECT_TRUE(logged("[ X ] File size exceeds 10485760 bytes once decompressed, aborting...\r\n")) << view.text();

  EXPECT_FALSE(save(server.base() + "/file.zip"));
  EXPECT_TRUE(
      logged("[ X ] File size exceeds 1048576 bytes once decompressed, aborting: " + server.base() + "/file.zip\r\n"))
      << view.text();
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(Compression, refusesAFileWhoseCompressedDataIsBrokenOrCutShort) {
  configure([](Settings& s) { s.receiveRetries = 0; });
  server.route("/broken.gif", encoded("gzip", "GIF89a not compressed at all"));
  const std::string whole = compress(std::string(50000, 'x') + "end", 31);
  server.route("/cut.gif", encoded("gzip", whole.substr(0, whole.size() / 2)));

  EXPECT_FALSE(save(server.base() + "/broken.gif"));
  EXPECT_TRUE(logged("[ X ] Broken compressed data. Operation aborted\r\n")) << view.text();
  EXPECT_FALSE(save(server.base() + "/cut.gif"));
  EXPECT_TRUE(logged("[ X ] Compressed data cut short. Operation aborted\r\n")) << view.text();
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace quillstash
