#pragma once
// MRenderer: streams audio through plug-in instances in host-sized blocks, as a DAW renders a
// track: a file (or any sample source) in, a file (or any sink) out, nothing held but one block.
//
// Alignment: the plug-in's output lags its input by the latency L it reports once active. The
// renderer feeds the whole input followed by L frames of silence, drops the first L output
// frames and so hands the sink exactly as many frames as the source gave, output frame k
// belonging to input frame k. The plug-in's tail beyond that is cut, as a DAW cuts a rendered
// region at its end.
//
// Channels: a file's channels are split into groups of at most `channelsPerInstance`, one
// instance per group (a stereo plug-in renders a 6-channel file as three pairs); every instance
// must be prepared (MRenderHost::Prepare) for its group's width beforehand and report the same
// latency. An instance with more inputs than its group gets silence on the rest, and outputs
// beyond the group are discarded.
//
// Memory: the buffers are sized from the block size and channel count once, before the first
// block; the amount held does not depend on the length of the stream.
//
// Main thread only; answers false with a message on a read, write or processing failure.

#include "tools/host/MTestHost.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

/// Interleaved sample frames in, read in order.
class MSampleSource
{
public:
  virtual ~MSampleSource() = default;
  /// Reads up to frames frames (channels interleaved); fewer only at the end of the stream.
  /// Answers the frames read; on a failure 0 with a message in error.
  virtual int Read(float* interleaved, int frames, std::string& error) = 0;
};

/// Interleaved sample frames out.
class MSampleSink
{
public:
  virtual ~MSampleSink() = default;
  virtual bool Write(const float* interleaved, int frames, std::string& error) = 0;
};

/// Sees both streams in step: frame k of OnOutput belongs to frame k of OnInput (the input
/// runs ahead by at most the latency plus one block).
class MRenderObserver
{
public:
  virtual ~MRenderObserver() = default;
  virtual void OnInput(const float* interleaved, int frames, int channels) = 0;
  virtual void OnOutput(const float* interleaved, int frames, int channels) = 0;
};

struct MRenderJob
{
  int channels = 0;
  /// Frames the source announces; a source that ends earlier ends the render there.
  std::int64_t frames = 0;
  int blockSamples = 512;
  int channelsPerInstance = 2;
  MRenderObserver* observer = nullptr;
  /// Called after every block with the frames written so far and the frames announced.
  std::function<void(std::int64_t done, std::int64_t total)> progress;
};

struct MRenderResult
{
  std::int64_t framesWritten = 0;
  int latencySamples = 0;
};

class MRenderer
{
public:
  /// Largest block the renderer accepts.
  static constexpr int kMaxBlockSamples = 65536;

  /// Renders job.frames frames from source through instances (one per channel group, in
  /// channel order) to sink.
  static bool Render(std::span<MTestHost* const> instances, MSampleSource& source, MSampleSink& sink,
                     const MRenderJob& job, MRenderResult& result, std::string& error);

  /// Instances needed for channels channels on a plug-in that takes `width` channels at a time.
  static int InstancesFor(int channels, int width) { return width > 0 ? (channels + width - 1) / width : 0; }
};
