#pragma once

#include <QImage>
#include <QString>

#include <vector>

// Tiny movies made at test time with the FFmpeg libraries. Every frame shows
// its own number as a 4 × 3 grid of black and white cells (12 bits, first
// bit top left), so a test can read back which frame it got from any decoded
// image or texture, whatever the size.
struct TestClipSpec {
  enum class Gop { AllIntra, Long };

  int width = 32;
  int height = 24;
  int frames = 30;
  int fpsNum = 30;
  int fpsDen = 1;
  Gop gop = Gop::AllIntra;
  int gopSize = 12;  // long GOP: frames from one key frame to the next
  bool bFrames = true;  // long GOP: reordered (bidirectional) frames
  bool audio = false;  // a 440 Hz stereo sine at half scale, 48 kHz, 16 bits
  double audioSeconds = 0.0;  // how long the sound lasts; 0: as long as the pictures
  bool moovFirst = false;  // index at the front ("fast start")
  int timeScale = 0;  // the picture track's time scale (0: 512 units per frame)
  int quality = 16;  // x264 constant rate factor: lower is better and bigger
  int chromaNoise = 0;  // amplitude of colour noise that does not compress (bigger files)
  // The track's display matrix in degrees counter-clockwise, as FFmpeg
  // states it (phone footage: -90, 90, 180). The pictures are stored turned
  // so that the pattern reads right only when shown turned as the matrix
  // says; width and height are the stored size.
  int rotation = 0;
  // The pictures' colour tags, and a constant colour over the pattern
  // (chroma; 128 is grey).
  enum class Matrix { Untagged, Bt601, Bt709 };
  Matrix matrix = Matrix::Untagged;
  bool fullRange = false;
  int chromaU = 128;
  int chromaV = 128;
  // Variable rate: the slot (of 1/fps) each frame starts in; empty: 0, 1, 2 …
  std::vector<int> slots;
  // A pixel aspect the container states while the codec states none.
  int containerAspectNum = 0;
  int containerAspectDen = 0;
  enum class Container { QuickTime, Matroska };
  Container container = Container::QuickTime;
  struct Chapter {
    int startFrame;
    QString title;
  };
  std::vector<Chapter> chapters;
};

class TestClip {
 public:
  // Writes a QuickTime (or Matroska) movie, H.264 video, to `path`; answers
  // an empty string or the error.
  static QString write(const QString& path, const TestClipSpec& spec);
  // Writes the clip into a fresh temporary folder; answers its path, or an
  // empty string (with the error in `error`).
  static QString create(const TestClipSpec& spec, const QString& fileName = QStringLiteral("clip.mov"),
                        QString* error = nullptr);
  // The number read from a frame's image, or -1 when the cells are unclear.
  static int frameNumberIn(const QImage& image);
  // The same for a tightly packed RGBA buffer.
  static int frameNumberIn(const unsigned char* rgba, int width, int height, int bytesPerLine);
  // Luma (0..255) of frame `n`'s pattern at a pixel.
  static int patternLuma(int n, int x, int y, int width, int height);
  static constexpr int kMaxFrames = 4096;
};
