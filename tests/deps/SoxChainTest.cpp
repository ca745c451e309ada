// A libsox effects chain between our own "input" and "output" handlers turns
// 44100-Hz stereo into mono and/or 22050 Hz, with the expected sample counts.
#include <sox.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// The handlers carry no private data, so the callbacks reach the test's
// source and sink through these (the chain runs on this thread only).
struct Pipe {
  size_t inputLeft = 0;              // samples still to hand to the chain
  sox_sample_t left = 0, right = 0;  // constant value of each input channel
  std::vector<sox_sample_t> output;
};
Pipe* g_pipe = nullptr;

int InputDrain(sox_effect_t* effect, sox_sample_t* out, size_t* count) noexcept {
  size_t n = *count / effect->out_signal.channels * effect->out_signal.channels;
  if (g_pipe->inputLeft == 0) {
    *count = 0;
    return SOX_EOF;
  }
  n = std::min(n, g_pipe->inputLeft);
  for (size_t i = 0; i < n; i += 2) {
    out[i] = g_pipe->left;
    out[i + 1] = g_pipe->right;
  }
  g_pipe->inputLeft -= n;
  *count = n;
  return SOX_SUCCESS;
}

int OutputFlow(sox_effect_t*, const sox_sample_t* in, sox_sample_t*, size_t* inCount,
               size_t* outCount) noexcept {
  g_pipe->output.insert(g_pipe->output.end(), in, in + *inCount);
  *outCount = 0;
  return SOX_SUCCESS;
}

const sox_effect_handler_t* InputHandler() {
  static sox_effect_handler_t h = {"input", nullptr,    SOX_EFF_MCHAN, nullptr, nullptr,
                                   nullptr, InputDrain, nullptr,       nullptr, 0};
  return &h;
}

const sox_effect_handler_t* OutputHandler() {
  static sox_effect_handler_t h = {"output",   nullptr, SOX_EFF_MCHAN, nullptr, nullptr,
                                   OutputFlow, nullptr, nullptr,       nullptr, 0};
  return &h;
}

bool AddEffect(sox_effects_chain_t* chain, sox_signalinfo_t* signal, sox_effect_t* e,
               const char* option) {
  if (!e) return false;
  char* args[1] = {const_cast<char*>(option)};
  bool ok = sox_effect_options(e, option ? 1 : 0, args) == SOX_SUCCESS &&
            sox_add_effect(chain, e, signal, signal) == SOX_SUCCESS;
  free(e);  // sox_add_effect copies the effect
  return ok;
}

class SoxChain : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(sox_init(), SOX_SUCCESS); }
  static void TearDownTestSuite() { sox_quit(); }
};

}  // namespace

TEST_F(SoxChain, ConvertsStereo44100) {
  struct Case {
    const char* name;
    size_t frames;
    bool downmix;
    const char* rate;
    size_t expectedSamples;
    unsigned expectedChannels;
  };
  const Case cases[] = {
      {"down-mix", 44100, true, nullptr, 44100, 1},
      {"resample", 44100, false, "22050", 44100, 2},
      {"both", 44100, true, "22050", 22050, 1},
      {"both, a CD sector", 588, true, "22050", 294, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pipe pipe;
    pipe.inputLeft = c.frames * 2;
    pipe.left = SOX_SAMPLE_MAX / 2;  // DC: L at half scale, R silent
    pipe.right = 0;
    g_pipe = &pipe;

    sox_signalinfo_t signal{};
    signal.rate = 44100;
    signal.channels = 2;
    signal.precision = 32;
    signal.length = c.frames * 2;
    sox_encodinginfo_t encoding{};
    encoding.encoding = SOX_ENCODING_SIGN2;
    encoding.bits_per_sample = 32;
    encoding.reverse_bytes = sox_option_no;
    encoding.reverse_nibbles = sox_option_no;
    encoding.reverse_bits = sox_option_no;

    sox_effects_chain_t* chain = sox_create_effects_chain(&encoding, &encoding);
    ASSERT_NE(chain, nullptr);
    bool ok = AddEffect(chain, &signal, sox_create_effect(InputHandler()), nullptr);
    if (c.downmix)
      ok = ok && AddEffect(chain, &signal, sox_create_effect(sox_find_effect("channels")), "1");
    if (c.rate)
      ok = ok && AddEffect(chain, &signal, sox_create_effect(sox_find_effect("rate")), c.rate);
    ok = ok && AddEffect(chain, &signal, sox_create_effect(OutputHandler()), nullptr);
    ok = ok && sox_flow_effects(chain, nullptr, nullptr) == SOX_SUCCESS;
    sox_delete_effects_chain(chain);
    g_pipe = nullptr;
    ASSERT_TRUE(ok);

    EXPECT_EQ(signal.channels, c.expectedChannels);
    EXPECT_EQ(pipe.output.size(), c.expectedSamples);
    if (pipe.output.size() < 1000) continue;
    // Away from the filter's edges the levels are exact: the down-mix
    // averages the channels, the resampler keeps DC.
    const size_t mid = pipe.output.size() / 2 / c.expectedChannels * c.expectedChannels;
    const double half = SOX_SAMPLE_MAX / 2.0;
    const double want = c.downmix ? half / 2 : half;
    EXPECT_NEAR(pipe.output[mid], want, half * 0.01);
    if (c.expectedChannels == 2) {
      EXPECT_NEAR(pipe.output[mid + 1], 0, half * 0.01);
    }
  }
}
