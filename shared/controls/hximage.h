#pragma once
// Pictures of auctions: the picture objects of the picture list (a placeholder with a name, a
// GDI+ thumbnail with its original size, the same with its database id), the picture-file tools
// (which files are handled, file-dialog filters, temporary names), the fitting of a picture into
// a byte budget as JPEG, and the transaction scope on the host's picture repository.
#include <memory>

#include "framework/interfaces.h"
#include "platform/com/com.h"
#include "platform/gui/afxwin.h"
#include "platform/gui/gdiplus.h"

// A picture in a list.
class CHxImageAbstr {
 public:
  virtual ~CHxImageAbstr() = default;
  // The box the picture draws in.
  virtual int Width() = 0;
  virtual int Height() = 0;
  virtual CString Name() = 0;
  virtual void Draw(CDC& dc, const CRect& rect, bool selected) = 0;
};

// A placeholder with a name only, in a fixed box of 400 x 300.
class CHxImage : public CHxImageAbstr {
 public:
  explicit CHxImage(const wchar_t* name) : m_name(name ? name : L"") {}
  int Width() override { return 400; }
  int Height() override { return 300; }
  CString Name() override { return m_name; }
  void Draw(CDC& dc, const CRect& rect, bool selected) override;

 private:
  CString m_name;
};

// A picture with a GDI+ thumbnail and its original size. The box comes from the data
// parameters pd_IR_ThumbnailCX and pd_IR_ThumbnailCY, read while it is not yet known. Copies
// share the picture; the last of them releases it.
class CHalvexImage : public CHxImageAbstr {
 public:
  // The file's picture, kept only as a thumbnail of the placement's size; the name is the path
  // and the originals are 0.
  explicit CHalvexImage(const wchar_t* path);
  // The stream's picture, kept whole, with the originals given.
  CHalvexImage(const wchar_t* name, IStreamPtr& stream, LONG originalWidth, LONG originalHeight, LONG originalSize);
  CHalvexImage(const CHalvexImage&) = default;
  CHalvexImage& operator=(const CHalvexImage&) = default;
  ~CHalvexImage() override = default;

  int Width() override;
  int Height() override;
  CString Name() override { return m_name; }
  // Paints off screen into a bitmap of the rectangle's size and copies it to (0, 0) of the DC.
  void Draw(CDC& dc, const CRect& rect, bool selected) override;
  virtual LONG OriginalWidth() { return m_originalWidth; }
  virtual LONG OriginalHeight() { return m_originalHeight; }
  virtual LONG OriginalSize() { return m_originalSize; }

  // The thumbnail's size and place inside a box of boxWidth x boxHeight, and the caption's
  // rectangle below it. A missing picture, or one without size, gets a zero placement.
  static void CalcThumbnailSize(Gdiplus::Image* image, LONG boxWidth, LONG boxHeight, int& width, int& height, int& x,
                                int& y, CRect* caption);

  // What it shows, for the list and for tests.
  Gdiplus::Image* Picture() const { return m_picture.get(); }
  int ThumbWidth() const { return m_thumbWidth; }
  int ThumbHeight() const { return m_thumbHeight; }
  int ThumbX() const { return m_thumbX; }
  int ThumbY() const { return m_thumbY; }
  const CRect& CaptionRect() const { return m_caption; }

 protected:
  void CalcThumbnailSize(Gdiplus::Image* image);
  // The placement for a picture of that size.
  static void Place(UINT imageWidth, UINT imageHeight, LONG boxWidth, LONG boxHeight, int& width, int& height, int& x,
                    int& y, CRect* caption);
  void _Draw(CDC& dc, const CRect& rect, bool selected);
  void ReadBox();

  int m_thumbWidth = 0;
  int m_thumbHeight = 0;
  int m_thumbX = 0;
  int m_thumbY = 0;
  CRect m_caption;
  int m_boxWidth = 0;
  int m_boxHeight = 0;
  CString m_name;
  LONG m_originalWidth = 0;
  LONG m_originalHeight = 0;
  LONG m_originalSize = 0;
  std::shared_ptr<Gdiplus::Image> m_picture;
};

// A picture of the repository, with its database id.
class CHxImageWithId : public CHalvexImage {
 public:
  CHxImageWithId(LONG id, const wchar_t* name, IStreamPtr& stream, LONG originalWidth, LONG originalHeight,
                 LONG originalSize)
      : CHalvexImage(name, stream, originalWidth, originalHeight, originalSize), m_id(id) {}
  operator LONG() const { return m_id; }  // NOLINT(google-explicit-constructor)

 private:
  LONG m_id;
};

// Which pictures the product handles (JPEG, GIF and PNG) and the names it gives them. Each
// object starts GDI+ and shuts it down again; the decoder list is read on first need.
class CImgTools {
 public:
  CImgTools();
  ~CImgTools();
  CImgTools(const CImgTools&) = delete;
  CImgTools& operator=(const CImgTools&) = delete;

  static const wchar_t* const g_aMIMEs[3];

  bool Valid() const { return m_startupStatus == Gdiplus::Ok; }
  // The file dialog's filter list; the handled extensions come from the decoders (a fixed list
  // when they cannot be read). False when the decoders could not be read.
  bool MakeFiltersListForCFileDialog(CString& out);
  static CString GetHandledImagesFilter();
  // The JPEG codec's CLSID (the null GUID when there is none); false when the list is unreadable.
  bool GetDefaultCodecInfo(GUID& clsid);
  bool IsImgTypeSupported(Gdiplus::Image* image);
  bool GetCodecCLSIDForImage(Gdiplus::Image* image, GUID& clsid);
  // The thumbnail box from the data parameters: 0, or the failure's result code.
  static LONG GetDefaultImageSize(LONG& cx, LONG& cy);
  // A new GUID-named file in the temporary folder with the picture's format as extension: its
  // name and extension, its full path, or as asked.
  bool GetTmpFileNameForImage(Gdiplus::Image* image, CString& out) { return GetTmpFileNameForImageEx(image, out, true); }
  bool GetTmpPathNameForImage(Gdiplus::Image* image, CString& out) { return GetTmpFileNameForImageEx(image, out, false); }
  bool GetTmpFileNameForImageEx(Gdiplus::Image* image, CString& out, bool nameOnly);

 private:
  bool ReadDecoders();
  const Gdiplus::ImageCodecInfo* DecoderOf(Gdiplus::Image* image);

  Gdiplus::GdiplusStartupInput m_startupInput;
  ULONG_PTR m_token = 0;
  Gdiplus::Status m_startupStatus;
  std::unique_ptr<BYTE[]> m_decoders;
  UINT m_decoderCount = 0;
  GUID m_jpegClsid{};
};

// The picture re-encoded as JPEG within maxBytes (optionally first scaled so that its longer
// side comes to maxSide), or the stream itself when it is already smaller; null when it cannot
// be done. Never raises.
IStreamPtr hxAdjustImageToLength(IStreamPtr picture, bool resize, bool exact, int maxSide, int maxBytes);

namespace hx {
// The host's picture repository (application services, slot 13); null when the host gives none
// or it lacks the interface. Raises what fails.
IHxImageRepositoryPtr ImageRepository();
}  // namespace hx

// The scope of a batch of picture-repository work: begun on construction, ended with the
// value the beginning gave. Every failure is dropped.
class CImaRepositoryTransStatus {
 public:
  CImaRepositoryTransStatus();
  ~CImaRepositoryTransStatus();
  CImaRepositoryTransStatus(const CImaRepositoryTransStatus&) = delete;
  CImaRepositoryTransStatus& operator=(const CImaRepositoryTransStatus&) = delete;

 private:
  LONG m_status = 0;
};
