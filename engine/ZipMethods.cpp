#include "engine/ZipMethods.h"

#include <bzlib.h>
#include <isa-l/igzip_lib.h>
#include <lzma.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace quarva::engine {

namespace {

constexpr std::size_t kOutBlock = 256 * 1024;
// Memory one decoder may take for its window (several decode at once, one per
// worker): an entry that needs more is reported as unsupported rather than decoded.
// The limits are those of the compressors' own default decoding (zstd: 128 MiB).
constexpr std::uint64_t kDecoderMemoryLimit = 512ull << 20;
constexpr int kZstdWindowLogMax = 27;

// What one call of a library decoder did.
enum class Step { More, End, Error, Memory };

// Runs a library decoder with the zlib-like interface: `step(in, inLen, out,
// outLen, inputDone)` consumes from in/inLen, produces into out/outLen (set to the
// count produced). `in`/`avail` may hold bytes already taken from the input.
template <class StepFn>
StreamResult pump(PackedInput& input, PlainOutput& output, StepFn step, const unsigned char* in = nullptr,
                  std::size_t avail = 0) {
    std::vector<unsigned char> buf(kOutBlock);
    bool inputDone = false;
    for (;;) {
        if (avail == 0 && !inputDone) {
            if (!input.next(in, avail)) return StreamResult::Damaged;
            if (avail == 0) inputDone = true;
        }
        std::size_t before = avail, produced = buf.size();
        Step s = step(in, avail, buf.data(), produced, inputDone);
        if (produced) {
            StreamResult r = output.put(buf.data(), produced);
            if (r != StreamResult::Ok) return r;
        }
        switch (s) {
        case Step::End: return StreamResult::Ok;
        case Step::Error: return StreamResult::Damaged;
        case Step::Memory: return StreamResult::Unsupported;
        case Step::More: break;
        }
        // Nothing moved although all input was given: the stream is cut short.
        if (inputDone && produced == 0 && avail == before) return StreamResult::Damaged;
    }
}

StreamResult copyStored(PackedInput& in, PlainOutput& out) {
    for (;;) {
        const unsigned char* p = nullptr;
        std::size_t n = 0;
        if (!in.next(p, n)) return StreamResult::Damaged;
        if (n == 0) return StreamResult::Ok;
        StreamResult r = out.put(p, n);
        if (r != StreamResult::Ok) return r;
    }
}

// Deflate, streamed (entries too large to decode in one piece in memory).
StreamResult inflateStream(PackedInput& in, PlainOutput& out) {
    auto state = std::make_unique<inflate_state>();
    isal_inflate_init(state.get());
    state->crc_flag = ISAL_DEFLATE;  // raw deflate, no wrapper
    return pump(in, out, [&](const unsigned char*& p, std::size_t& n, unsigned char* o, std::size_t& on, bool) {
        // The library counts in 32 bits: hand it at most that much.
        const std::size_t take = std::min<std::size_t>(n, 1u << 30);
        state->next_in = const_cast<unsigned char*>(p);
        state->avail_in = std::uint32_t(take);
        state->next_out = o;
        state->avail_out = std::uint32_t(on);
        const int r = isal_inflate(state.get());
        p += take - state->avail_in;
        n -= take - state->avail_in;
        on -= state->avail_out;
        if (r < 0) return Step::Error;
        return state->block_state == ISAL_BLOCK_FINISH ? Step::End : Step::More;
    });
}

StreamResult decodeBzip2(PackedInput& in, PlainOutput& out) {
    bz_stream bs{};
    if (BZ2_bzDecompressInit(&bs, 0, 0) != BZ_OK) return StreamResult::Damaged;
    std::unique_ptr<bz_stream, int (*)(bz_stream*)> guard(&bs, BZ2_bzDecompressEnd);
    return pump(in, out, [&](const unsigned char*& p, std::size_t& n, unsigned char* o, std::size_t& on, bool) {
        // The library counts in unsigned int: hand it at most that much.
        std::size_t take = std::min<std::size_t>(n, 1u << 30);
        bs.next_in = reinterpret_cast<char*>(const_cast<unsigned char*>(p));
        bs.avail_in = unsigned(take);
        bs.next_out = reinterpret_cast<char*>(o);
        bs.avail_out = unsigned(on);
        int r = BZ2_bzDecompress(&bs);
        p += take - bs.avail_in;
        n -= take - bs.avail_in;
        on -= bs.avail_out;
        if (r == BZ_STREAM_END) return Step::End;
        if (r == BZ_MEM_ERROR) return Step::Memory;
        return r == BZ_OK ? Step::More : Step::Error;
    });
}

// liblzma's stream, driven until `end` (xz streams and raw LZMA alike).
StreamResult runLzma(lzma_stream& ls, PackedInput& in, PlainOutput& out, const unsigned char* p, std::size_t n) {
    return pump(
        in, out,
        [&](const unsigned char*& ip, std::size_t& avail, unsigned char* o, std::size_t& on, bool inputDone) {
            ls.next_in = ip;
            ls.avail_in = avail;
            ls.next_out = o;
            ls.avail_out = on;
            lzma_ret r = lzma_code(&ls, inputDone ? LZMA_FINISH : LZMA_RUN);
            ip = ls.next_in;
            avail = ls.avail_in;
            on -= ls.avail_out;
            switch (r) {
            case LZMA_OK:
            case LZMA_BUF_ERROR: return Step::More;
            case LZMA_STREAM_END: return Step::End;
            case LZMA_MEM_ERROR:
            case LZMA_MEMLIMIT_ERROR:
            case LZMA_OPTIONS_ERROR: return Step::Memory;
            default: return Step::Error;
            }
        },
        p, n);
}

StreamResult decodeXz(PackedInput& in, PlainOutput& out) {
    lzma_stream ls = LZMA_STREAM_INIT;
    if (lzma_stream_decoder(&ls, kDecoderMemoryLimit, 0) != LZMA_OK) return StreamResult::Damaged;
    std::unique_ptr<lzma_stream, void (*)(lzma_stream*)> guard(&ls, lzma_end);
    return runLzma(ls, in, out, nullptr, 0);
}

// LZMA in a zip: 2 bytes of encoder version, 2 bytes giving the size of the
// properties (5), the properties (lc/lp/pb, dictionary size), then the raw stream,
// with an end marker when flag bit 1 is set; without one the declared size ends it.
StreamResult decodeLzma(const ZipEntry& e, PackedInput& in, PlainOutput& out) {
    unsigned char head[4 + 5];
    std::size_t have = 0, need = 4;
    const unsigned char* p = nullptr;
    std::size_t n = 0;
    while (have < need) {
        if (n == 0) {
            if (!in.next(p, n)) return StreamResult::Damaged;
            if (n == 0) return StreamResult::Damaged;
        }
        std::size_t take = std::min(n, need - have);
        std::copy(p, p + take, head + have);
        have += take;
        p += take;
        n -= take;
        if (have == 4) {
            std::size_t propsSize = rd16(head + 2);
            if (propsSize != 5) return propsSize > 5 ? StreamResult::Unsupported : StreamResult::Damaged;
            need = 4 + propsSize;
        }
    }
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, head + 4, 5) != LZMA_OK) return StreamResult::Damaged;
    std::unique_ptr<lzma_options_lzma, void (*)(void*)> opts(static_cast<lzma_options_lzma*>(filters[0].options),
                                                             std::free);
    // The decoder never looks further back than the output so far: a window larger
    // than the entry is not needed (nor allocated).
    opts->dict_size = std::uint32_t(std::max<std::uint64_t>(4096, std::min<std::uint64_t>(opts->dict_size, e.size)));
    if (opts->dict_size > kDecoderMemoryLimit) return StreamResult::Unsupported;
    filters[0].id = LZMA_FILTER_LZMA1EXT;
    opts->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    opts->ext_size_low = std::uint32_t(e.size);
    opts->ext_size_high = std::uint32_t(e.size >> 32);
    lzma_stream ls = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&ls, filters) != LZMA_OK) return StreamResult::Unsupported;
    std::unique_ptr<lzma_stream, void (*)(lzma_stream*)> guard(&ls, lzma_end);
    return runLzma(ls, in, out, p, n);
}

StreamResult decodeZstd(PackedInput& in, PlainOutput& out) {
    std::unique_ptr<ZSTD_DCtx, std::size_t (*)(ZSTD_DCtx*)> dctx(ZSTD_createDCtx(), ZSTD_freeDCtx);
    if (!dctx) return StreamResult::Damaged;
    ZSTD_DCtx_setParameter(dctx.get(), ZSTD_d_windowLogMax, kZstdWindowLogMax);
    bool frameDone = false;
    return pump(in, out, [&](const unsigned char*& p, std::size_t& n, unsigned char* o, std::size_t& on, bool done) {
        ZSTD_inBuffer ib{p, n, 0};
        ZSTD_outBuffer ob{o, on, 0};
        std::size_t r = ZSTD_decompressStream(dctx.get(), &ob, &ib);
        p += ib.pos;
        n -= ib.pos;
        on = ob.pos;
        if (ZSTD_isError(r)) {
            ZSTD_ErrorCode code = ZSTD_getErrorCode(r);
            return code == ZSTD_error_frameParameter_windowTooLarge || code == ZSTD_error_memory_allocation
                       ? Step::Memory
                       : Step::Error;
        }
        // A frame is complete (0); further frames may follow until the data ends.
        if (r == 0) frameDone = true;
        else if (ib.pos > 0 || ob.pos > 0) frameDone = false;
        if (frameDone && n == 0 && done) return Step::End;
        return Step::More;
    });
}

}  // namespace

bool methodDecodable(std::uint16_t method) {
    switch (method) {
    case kMethodStored:
    case kMethodDeflate:
    case kMethodDeflate64:
    case kMethodBzip2:
    case kMethodLzma:
    case kMethodZstd:
    case kMethodXz: return true;
    default: return false;
    }
}

std::string methodTitle(std::uint16_t method) {
    switch (method) {
    case kMethodStored: return "stored";
    case kMethodDeflate: return "deflate";
    case kMethodDeflate64: return "Deflate64";
    case kMethodBzip2: return "bzip2";
    case kMethodLzma: return "LZMA";
    case kMethodZstd: return "Zstandard";
    case kMethodXz: return "XZ";
    case kMethodPpmd: return "PPMd";
    case 1: return "Shrink";
    case 2:
    case 3:
    case 4:
    case 5: return "Reduce";
    case 6: return "Implode";
    case 96: return "JPEG";
    default: return "method " + std::to_string(method);
    }
}

StreamResult decodeStream(std::uint16_t method, const ZipEntry& e, PackedInput& in, PlainOutput& out) {
    switch (method) {
    case kMethodStored: return copyStored(in, out);
    case kMethodDeflate: return inflateStream(in, out);
    case kMethodDeflate64: return inflate64(in, out, true);
    case kMethodBzip2: return decodeBzip2(in, out);
    case kMethodLzma: return decodeLzma(e, in, out);
    case kMethodZstd: return decodeZstd(in, out);
    case kMethodXz: return decodeXz(in, out);
    default: return StreamResult::Unsupported;
    }
}

}  // namespace quarva::engine
