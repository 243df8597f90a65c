// Writes the seed inputs of corpus/<target>/: real exchanges with the
// virtual unit and the shipped files, in each target's input layout.
//   kp_fuzz_seeds <corpus folder>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/fuzz_support.h"
#include "link/frames.h"
#include "sim/in_process.h"

namespace fs = std::filesystem;
using kp::Bytes;

namespace {

void save(const fs::path& dir, const std::string& name, const Bytes& bytes) {
  fs::create_directories(dir);
  std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

void append(Bytes& to, const Bytes& b) { to.insert(to.end(), b.begin(), b.end()); }

// fuzz_receive and fuzz_framer records: the stream in pieces of `piece` bytes (1..16), each
// followed by what `after` (0..15) selects.
Bytes records(const Bytes& stream, std::size_t piece, std::uint8_t after) {
  Bytes out;
  for (std::size_t i = 0; i < stream.size(); i += piece) {
    const std::size_t n = std::min(piece, stream.size() - i);
    out.push_back(static_cast<std::uint8_t>(after << 4 | (n - 1)));
    out.insert(out.end(), stream.begin() + static_cast<std::ptrdiff_t>(i),
               stream.begin() + static_cast<std::ptrdiff_t>(i + n));
  }
  return out;
}

Bytes frames(const std::vector<kp::sim::VirtualUnit::Message>& ms) {
  Bytes out;
  for (const auto& m : ms) append(out, kp::commandFrame(m.address, m.value));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kp_fuzz_seeds <corpus folder>\n");
    return 2;
  }
  const fs::path root = argv[1];
  using kp::fuzz::dumpStream;
  const Bytes ack{0xAA, 0x60};
  const Bytes notice = kp::commandFrame(0, 10);

  kp::VirtualLoop loop;
  kp::sim::LoopClock clock(loop);
  kp::sim::VirtualUnit unit(clock);
  unit.onBytesFromPanel(kp::commandFrame(0, 2));

  {
    const fs::path d = root / "fuzz_receive";
    // header: phase, flags, detail
    auto seed = [&](const std::string& name, Bytes header, const Bytes& body) {
      append(header, body);
      save(d, name, header);
    };
    seed("connect_short_dump_whole_frames", {1, 0x00, 0}, records(dumpStream(false), 6, 1));
    seed("connect_long_dump_odd_pieces_read_by_one", {1, 0x03, 0}, records(dumpStream(true), 7, 0));
    seed("connect_long_dump_paced", {1, 0x01, 0}, records(dumpStream(true), 16, 2));
    Bytes rest(dumpStream(false).begin() + 40 * 6, dumpStream(false).end());
    seed("dumping_rest_of_short_dump", {2, 0x00, 39}, records(rest, 5, 1));
    Bytes musicBlock = ack;
    append(musicBlock, frames(unit.musicBlock()));
    seed("linked_busy_music_block", {5, 0x00, 2}, records(musicBlock, 6, 1));
    Bytes micBlock = ack;
    append(micBlock, frames(unit.micBlock()));
    seed("linked_busy_mic_block", {5, 0x01, 3}, records(micBlock, 3, 0));
    Bytes answers{0x55};
    append(answers, ack);
    append(answers, kp::commandFrame(0x60, 0));  // a whole acknowledgement frame
    append(answers, notice);
    seed("linked_awaiting_answers", {4, 0x10, 0}, records(answers, 2, 11));
    seed("linked_by_whole_dump_awaiting_answers", {4, 0x10, 0x80}, records(answers, 2, 11));
    Bytes idle = notice;
    append(idle, {0x00, 0x13, 0xFE, 0xAA, 0x05});
    seed("idle_notice_and_garbage", {0, 0x20, 0}, records(idle, 4, 7));
  }
  {
    const fs::path d = root / "fuzz_framer";
    // header: link flags, read size
    auto seed = [&](const std::string& name, Bytes header, const Bytes& body) {
      append(header, body);
      save(d, name, header);
    };
    seed("dump_in_odd_pieces", {0x02 | 0x08, 0x06}, records(dumpStream(false), 7, 0));
    Bytes answers{0x55};
    append(answers, ack);
    append(answers, kp::commandFrame(0x60, 0));
    append(answers, notice);
    seed("linked_answers_and_notice", {0x03, 0x06}, records(answers, 2, 5));
    Bytes musicBlock = ack;
    append(musicBlock, frames(unit.musicBlock()));
    seed("linked_busy_music_block_read_by_one", {0x07, 0x01}, records(musicBlock, 6, 1));
  }
  {
    const fs::path d = root / "fuzz_ini";
    auto field = [](Bytes& to, const std::string& s) {
      to.push_back(static_cast<std::uint8_t>(s.size()));
      append(to, text(s));
    };
    auto seed = [&](const std::string& name, std::uint8_t flags, const std::string& sec,
                    const std::string& key, const std::string& value, const std::string& sec2,
                    const std::string& key2, const std::string& file) {
      Bytes b{flags};
      field(b, sec);
      field(b, key);
      b.push_back(static_cast<std::uint8_t>(value.size() & 0xFF));
      b.push_back(static_cast<std::uint8_t>(value.size() >> 8));
      append(b, text(value));
      field(b, sec2);
      field(b, key2);
      append(b, text(file));
      save(d, name, b);
    };
    const auto& s = kp::fuzz::Scratch::get();
    seed("config_port", 0, "config", "COM", "3", "config", "1_c", s.shippedConfig());
    seed("config_new_text_in_chinese", 0, "config", "44_c", "串口号", "config", "COM",
         s.shippedConfig());
    seed("preset_master", 0, "config", "Music_Master", "55", "Music_0", "1", s.shippedPreset());
    seed("preset_new_section", 0, "Music_9", "31", "15", "config", "L", s.shippedPreset());
    seed("new_file", 1, "config", "COM", "1", "config", "COM", "");
    seed("lf_file_without_last_line_end", 0, "a", "k", "v", "b", "k", "[a]\nx=1\n[b]\nk=2");
  }
  {
    const fs::path d = root / "fuzz_preset";
    const std::string preset = kp::fuzz::Scratch::get().shippedPreset();
    for (std::uint8_t flags : {0x00, 0x01, 0x03, 0x07, 0x05, 0x0B}) {
      Bytes b{flags};
      append(b, text(preset));
      save(d, "shipped_pro_dat_flags_" + std::to_string(flags), b);
    }
    Bytes cut{0x03};
    append(cut, text(preset.substr(0, preset.size() / 2)));
    save(d, "shipped_pro_dat_cut_linked", cut);
  }
  return 0;
}
