// The Encoder page: the output format and that format's parameters in three lists whose
// labels, entries and visibility follow the format.
#include <iterator>

#include "OptionPages.h"
#include "VeltraskDlg.h"
#include "engine/Settings.h"
#include "resource.h"

namespace {

// Index + 1 is OutputFormat.
constexpr const wchar_t* kFormats[] = {
    L" WAV    (Waveform Audio)",
    L" MP3    (MPEG-1 Audio Layer 3)",
    L" OGG    (Ogg Vorbis)",
};
// The first nine rows of the rate table: the two highest rates are never offered.
constexpr const wchar_t* kRates[] = {
    L"  8000 Hertz", L" 11025 Hertz", L" 12000 Hertz", L" 16000 Hertz", L" 22050 Hertz",
    L" 24000 Hertz", L" 32000 Hertz", L" 44100 Hertz", L" 48000 Hertz",
};
constexpr const wchar_t* kWavSampleFormats[] = {L" Unsigned 8 bit PCM", L" Signed 16 bit PCM"};
constexpr const wchar_t* kWavChannels[] = {L" Mono", L" Stereo"};
constexpr const wchar_t* kMp3Channels[] = {L" Mono", L" Stereo", L" Joint Stereo",
                                           L" Dual Channel"};
// Index = QualityCompression + 1.
constexpr const wchar_t* kQualities[] = {
    L"Quality -0.1;  Estimated Bitrate:    48kbps",
    L"Quality  0.0;  Estimated Bitrate:    64kbps",
    L"Quality\t  0.1;  Estimated Bitrate:    80kbps",
    L"Quality  0.2;  Estimated Bitrate:    96kbps",
    L"Quality\t  0.3;  Estimated Bitrate:   112kbps",
    L"Quality  0.4;  Estimated Bitrate:   128kbps",
    L"Quality\t  0.5;  Estimated Bitrate:   160kbps",
    L"Quality  0.6;  Estimated Bitrate:   192kbps",
    L"Quality\t  0.7;  Estimated Bitrate:   224kbps",
    L"Quality  0.8;  Estimated Bitrate:   256kbps",
    L"Quality\t  0.9;  Estimated Bitrate:   350kbps",
    L"Quality  1.0;  Estimated Bitrate:   500kbps",
};
static_assert(std::size(kRates) <= kSampleRateCount);

constexpr int kMinimumDropWidth = 100;

template <size_t N>
void Fill(CComboBox& list, const wchar_t* const (&entries)[N]) {
  for (const wchar_t* entry : entries) list.AddString(entry);
}

}  // namespace

BEGIN_MESSAGE_MAP(CEncoderOption, COptionsPage)
ON_CBN_SELCHANGE(IDC_ENCODER_LIST1, OnControlChanged)
ON_CBN_SELCHANGE(IDC_ENCODER_LIST2, OnControlChanged)
ON_CBN_SELCHANGE(IDC_ENCODER_LIST3, OnControlChanged)
ON_CBN_SELCHANGE(IDC_ENCODER_FORMAT, OnFormatChange)
END_MESSAGE_MAP()

CEncoderOption::CEncoderOption() : COptionsPage(IDD_OPTIONS_ENCODER, 2) {}

void CEncoderOption::DoDataExchange(CDataExchange* pDX) {
  COptionsPage::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_ENCODER_FORMAT, m_formatList);
  DDX_Control(pDX, IDC_ENCODER_LIST1, m_list1);
  DDX_Control(pDX, IDC_ENCODER_LIST2, m_list2);
  DDX_Control(pDX, IDC_ENCODER_LIST3, m_list3);
}

BOOL CEncoderOption::OnInitDialog() {
  COptionsPage::OnInitDialog();
  m_formatList.ResetContent();
  Fill(m_formatList, kFormats);
  m_formatList.SetCurSel(OutputFormat - 1);
  FillFormatLists();
  UpdateData(FALSE);
  return TRUE;
}

void CEncoderOption::OnFormatChange() {
  FillFormatLists();
  SetModified();
}

void CEncoderOption::FillFormatLists() {
  const int format = m_formatList.GetCurSel() + 1;
  m_list1.ResetContent();
  m_list2.ResetContent();
  m_list3.ResetContent();
  const bool twoMore = format == 1 || format == 2;
  GetDlgItem(IDC_ENCODER_LABEL1)->ShowWindow(SW_SHOW);
  for (const int id :
       {IDC_ENCODER_LABEL2, IDC_ENCODER_LIST2, IDC_ENCODER_LIST3, IDC_ENCODER_LABEL3})
    GetDlgItem(id)->ShowWindow(twoMore ? SW_SHOW : SW_HIDE);
  GetDlgItem(IDC_ENCODER_NOTE)->ShowWindow(format == 2 ? SW_SHOW : SW_HIDE);
  if (format < 1 || format > 3) return;

  if (twoMore) {
    SetDlgItemText(IDC_ENCODER_LABEL1, L"Sampling Frequency:");
    SetDlgItemText(IDC_ENCODER_LABEL3, L"Channel Mode:");
    Fill(m_list1, kRates);
  }
  if (format == 1) {
    SetDlgItemText(IDC_ENCODER_LABEL2, L"Codec:");
    Fill(m_list2, kWavSampleFormats);
    Fill(m_list3, kWavChannels);
    m_list1.SetCurSel(Freq);
    m_list2.SetCurSel(SubFormat);
    m_list3.SetCurSel(Channel);
  } else if (format == 2) {
    SetDlgItemText(IDC_ENCODER_LABEL2, L"Bits per Second:");
    for (const WORD bitrate : kMp3Bitrates) {
      CString entry;
      entry.Format(L"%4d kbits per second", bitrate);
      m_list2.AddString(entry);
    }
    Fill(m_list3, kMp3Channels);
    m_list1.SetCurSel(LameFreq);
    m_list2.SetCurSel(LameBits);
    m_list3.SetCurSel(LameChannel);
  } else {
    SetDlgItemText(IDC_ENCODER_LABEL1, L"Quality:");
    Fill(m_list1, kQualities);
    m_list1.SetCurSel(QualityCompression + 1);
  }
  m_list1.SetDroppedWidth(kMinimumDropWidth);
}

BOOL CEncoderOption::OnApply() {
  if (!MayApply()) return FALSE;
  const int format = m_formatList.GetCurSel() + 1;
  // A list without a selection (a stored value outside the entries) leaves its setting
  // as it was; so does a page without a format.
  const auto write = [](short& setting, int selection, int offset = 0) {
    if (selection >= 0) setting = static_cast<short>(selection + offset);
  };
  if (format >= 1 && format <= 3) OutputFormat = static_cast<short>(format);
  if (format == 1) {
    write(SubFormat, m_list2.GetCurSel());
    const int channel = m_list3.GetCurSel();
    if (channel >= 0) Channel = channel;
    write(Freq, m_list1.GetCurSel());
  } else if (format == 2) {
    write(LameFreq, m_list1.GetCurSel());
    write(LameBits, m_list2.GetCurSel());
    write(LameChannel, m_list3.GetCurSel());
  } else if (format == 3) {
    write(QualityCompression, m_list1.GetCurSel(), -1);
  }
  UpdateData(TRUE);
  return TRUE;
}
