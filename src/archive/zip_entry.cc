#include <string.h>

#include <algorithm>
#include <new>

#include "archive/zip_file.h"
#include "platform/file.h"

namespace brxzip {

namespace {
// Large enough that reading and inflating cost little per call (zlib's own
// speed is reached from some 128 KiB on), small enough that no entry is ever
// held whole: a read holds this and the caller's output buffer, nothing more.
const uint32_t kInputSize = 256 * 1024;
const uint32_t kMethodStored = 0;
const uint32_t kMethodDeflated = 8;
}  // namespace

ZIP_ReadContext::ZIP_ReadContext() { memset(&stream_, 0, sizeof(stream_)); }

ZIP_ReadContext::~ZIP_ReadContext() { Release(); }

void ZIP_ReadContext::Release() {
  input_.reset();
  input_available_ = 0;
  input_next_ = nullptr;
  if (stream_active_) inflateEnd(&stream_);
  stream_active_ = false;
}

ZIP_FileEntry::ZIP_FileEntry() = default;

ZIP_FileEntry::~ZIP_FileEntry() = default;

ZIP_Result ZIP_FileEntry::BeginRead(ZIP_ReadContext* context) {
  if (!context) return ZIP_ERR_ARGUMENT;
  context->Release();
  context->crc_ = 0;
  context->crc_by_caller_ = false;
  context->compressed_remaining_ = compressed_size_;
  context->uncompressed_remaining_ = uncompressed_size_;
  context->position_ = data_offset_;
  context->file_ = file_;
  if (!file_ || !file_->Seek(data_offset_)) return ZIP_ERR_SEEK;
  if (method_ != kMethodStored) {
    memset(&context->stream_, 0, sizeof(context->stream_));
    // Raw deflate: the entry's data carries no zlib header.
    if (inflateInit2(&context->stream_, -MAX_WBITS) != Z_OK) return ZIP_ERR_FAILED;
    context->stream_active_ = true;
  }
  context->input_.reset(new (std::nothrow) unsigned char[kInputSize]);
  if (!context->input_) {
    context->Release();
    return ZIP_ERR_NO_MEMORY;
  }
  return ZIP_OK;
}

ZIP_Result ZIP_FileEntry::ReadChunk(void* destination, uint64_t length, ZIP_ReadContext* context,
                                    uint32_t* delivered) {
  if (delivered) *delivered = 0;
  if (method_ != kMethodStored && method_ != kMethodDeflated) return ZIP_ERR_FORMAT;
  if (!context || !destination || length == 0 || !context->input_) return ZIP_ERR_ARGUMENT;

  ZIP_ReadContext& c = *context;
  unsigned char* out = static_cast<unsigned char*>(destination);
  // One call delivers less than 4 GiB; a larger entry takes more calls.
  uint32_t space = static_cast<uint32_t>(std::min<uint64_t>({length, c.uncompressed_remaining_, 0xFFFFFFFFu}));
  uint32_t produced_total = 0;
  ZIP_Result result = ZIP_OK;

  while (space != 0) {
    if (c.input_available_ == 0 && c.compressed_remaining_ != 0) {
      uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(c.compressed_remaining_, kInputSize));
      uint32_t got = 0;
      // At the entry's own position: other entries may have moved the shared
      // handle since the last chunk (the file seeks only when they did).
      if (!c.file_->ReadAt(c.position_, c.input_.get(), chunk, &got) || got != chunk) {
        result = ZIP_ERR_FAILED;
        break;
      }
      c.position_ += chunk;
      c.compressed_remaining_ -= chunk;
      c.input_available_ = chunk;
      c.input_next_ = c.input_.get();
    }

    uint32_t produced = 0;
    if (method_ == kMethodDeflated) {
      z_stream& z = c.stream_;
      z.next_in = const_cast<Bytef*>(c.input_next_);
      z.avail_in = c.input_available_;
      z.next_out = out;
      z.avail_out = space;
      int status = inflate(&z, Z_SYNC_FLUSH);
      produced = space - z.avail_out;
      c.input_next_ = z.next_in;
      c.input_available_ = z.avail_in;
      if (!c.crc_by_caller_) c.crc_ = crc32(c.crc_, out, produced);
      c.uncompressed_remaining_ -= produced;
      produced_total += produced;
      out += produced;
      space -= produced;
      if (status == Z_STREAM_END) {
        if (produced_total == 0) result = ZIP_ERR_END_OF_STREAM;
        break;
      }
      if (status == Z_BUF_ERROR && c.input_available_ == 0 && c.compressed_remaining_ == 0) {
        // The compressed data ran out before the stream's end: truncated.
        result = ZIP_ERR_END_OF_STREAM;
        break;
      }
      if (status == Z_MEM_ERROR) {
        result = ZIP_ERR_NO_MEMORY;
        break;
      }
      if (status != Z_OK) {
        // Corrupt data, a preset dictionary, or no progress with input left.
        result = ZIP_ERR_FORMAT;
        break;
      }
    } else {
      if (c.input_available_ == 0) {
        // A stored entry whose compressed size is below its size.
        result = ZIP_ERR_END_OF_STREAM;
        break;
      }
      produced = std::min(c.input_available_, space);
      memcpy(out, c.input_next_, produced);
      if (!c.crc_by_caller_) c.crc_ = crc32(c.crc_, out, produced);
      c.input_next_ += produced;
      c.input_available_ -= produced;
      c.uncompressed_remaining_ -= produced;
      produced_total += produced;
      out += produced;
      space -= produced;
    }
  }
  if (delivered) *delivered = produced_total;
  return result;
}

ZIP_Result ZIP_FileEntry::EndRead(ZIP_ReadContext* context) {
  if (!context) return ZIP_ERR_ARGUMENT;
  bool active = context->input_ != nullptr;
  context->Release();
  if (!active) return ZIP_ERR_ARGUMENT;
  // A read that stopped before the end is not verified.
  if (context->uncompressed_remaining_ == 0 && context->crc_ != crc32_) return ZIP_ERR_CRC;
  return ZIP_OK;
}

ZIP_Result ZIP_FileEntry::ReadToMemory(void* destination, uint64_t length) {
  ZIP_ReadContext context;
  ZIP_Result result = BeginRead(&context);
  if (result != ZIP_OK) return result;
  ZIP_Result read = ZIP_OK;
  uint32_t delivered = 0;
  if (length != 0) read = ReadChunk(destination, length, &context, &delivered);
  ZIP_Result end = EndRead(&context);
  if (read != ZIP_OK) return read;
  if (delivered < std::min<uint64_t>(length, uncompressed_size_)) return ZIP_ERR_END_OF_STREAM;
  return end;
}

}  // namespace brxzip
