// PortAudio starts and stops under Wine, with or without an output device.
#include <portaudio.h>

#include <gtest/gtest.h>

TEST(PortAudio, InitializesAndTerminates) {
  const PaVersionInfo* version = Pa_GetVersionInfo();
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->versionMajor, 19);
  EXPECT_EQ(version->versionMinor, 6);

  ASSERT_EQ(Pa_Initialize(), paNoError);
  EXPECT_GE(Pa_GetDeviceCount(), 0);  // no device is fine
  EXPECT_GE(Pa_GetHostApiCount(), 1);
  EXPECT_EQ(Pa_Terminate(), paNoError);
  // Balanced: a second terminate is refused, not a crash.
  EXPECT_EQ(Pa_Terminate(), paNotInitialized);
  EXPECT_STRNE(Pa_GetErrorText(paNotInitialized), "");
}
