// SPDX-License-Identifier: MIT
// The CUDA device: the kernels of a round, each a thin wrapper that gives
// its threads the functions of gpu/device/round.hpp, the memory of a round
// in the device's memory, and what is missing when there is no device to
// count on.
#include "device.hpp"
#include "piece_access.hpp"
#include "refusals.hpp"

#include <roughpi/gpu.hpp>

#include <cuda_runtime.h>

#include <string>

namespace roughpi::gpu {

namespace {

__device__ std::int64_t thread_index() { return std::int64_t{blockIdx.x} * blockDim.x + threadIdx.x; }

// The kernels of a round but the count kernel: thread i does its lane.
__global__ void round_kernel(kernel k, round_memory mem, std::int64_t lanes)
{
    if (const std::int64_t i = thread_index(); i < lanes)
        run_lane(k, mem, mem.wheel, i);
}

// The count kernel: each block copies the wheel tables into shared memory,
// and learns from its first thread whether a stop was asked for (one read of
// the host's memory per block); a stopped block counts nothing and says so.
__global__ void count_kernel(round_memory mem, std::int64_t lanes, const volatile std::int32_t* stop)
{
    extern __shared__ std::uint16_t tables[];
    __shared__ std::int32_t stopped;
    if (threadIdx.x == 0)
        stopped = *stop;
    for (std::int64_t j = threadIdx.x; j <= MODULUS; j += blockDim.x)
        tables[j] = mem.wheel.prefix[j];
    auto* gaps = reinterpret_cast<std::uint8_t*>(tables) + PREFIX_BYTES;
    for (std::int64_t j = threadIdx.x; j < RESIDUES; j += blockDim.x)
        gaps[j] = mem.wheel.gaps[j];
    __syncthreads();
    if (stopped != 0) {
        if (threadIdx.x == 0)
            *mem.skipped = 1;
        return;
    }
    if (const std::int64_t i = thread_index(); i < lanes)
        count_chunk(mem, wheel_view{tables, gaps}, i);
}

std::string error_text(cudaError_t error) { return cudaGetErrorString(error); }

// A failure of the device while it counts.
void check(cudaError_t error, const char* what)
{
    if (error != cudaSuccess)
        fail(std::string("the CUDA device failed (") + what + "): " + error_text(error));
}

std::string megabytes(std::size_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB"; }

// Device `number`, made current, or what is missing: the driver, the
// device, or code for it.
cudaDeviceProp open_device(int number)
{
    int driver = 0;
    int runtime = 0;
    cudaDriverGetVersion(&driver);
    cudaRuntimeGetVersion(&runtime);
    const auto version = [](int v) { return std::to_string(v / 1000) + "." + std::to_string(v % 1000 / 10); };
    int count = 0;
    const cudaError_t counted = cudaGetDeviceCount(&count);
    if (counted != cudaSuccess) {
        if (driver == 0)
            unavailable("no CUDA driver is installed (the CUDA runtime says: " + error_text(counted) + ")");
        if (driver < runtime)
            unavailable("the CUDA driver (" + version(driver) + ") is older than this build's CUDA runtime (" +
                        version(runtime) + ") needs (the CUDA runtime says: " + error_text(counted) + ")");
        unavailable(error_text(counted));
    }
    if (count == 0)
        unavailable("no CUDA-capable device is detected");
    if (number < 0 || number >= count)
        unavailable("there is no device " + std::to_string(number) + ": this machine has " + std::to_string(count) +
                    " (0 to " + std::to_string(count - 1) + ")");
    cudaDeviceProp properties{};
    if (const cudaError_t e = cudaGetDeviceProperties(&properties, number); e != cudaSuccess)
        unavailable("device " + std::to_string(number) + ": " + error_text(e));
    const std::string named = "device " + std::to_string(number) + " (" + properties.name + ", compute capability " +
        std::to_string(properties.major) + "." + std::to_string(properties.minor) + ")";
    if (const cudaError_t e = cudaSetDevice(number); e != cudaSuccess)
        unavailable(named + ": " + error_text(e));
    cudaFuncAttributes attributes{};
    if (const cudaError_t e = cudaFuncGetAttributes(&attributes, count_kernel); e != cudaSuccess)
        unavailable(named +
                    " has no code in this build, which is for " ROUGHPI_CUDA_ARCHITECTURES_TEXT
                    " (doc/building.md says how to add others): " +
                    error_text(e));
    if (const cudaError_t e =
            cudaFuncSetAttribute(count_kernel, cudaFuncAttributeMaxDynamicSharedMemorySize, int{TABLE_BYTES});
        e != cudaSuccess)
        unavailable(named + " cannot give a block the " + std::to_string(TABLE_BYTES) +
                    " bytes of shared memory of the wheel tables: " + error_text(e));
    return properties;
}

// What a device holds of the host's and its own memory, given back when it
// goes (also when it is opened only in part).
class device_buffers {
public:
    device_buffers() = default;
    device_buffers(const device_buffers&) = delete;
    device_buffers& operator=(const device_buffers&) = delete;
    ~device_buffers()
    {
        for (int i = 0; i < count_; ++i)
            cudaFree(buffers_[i]);
        if (host_word_ != nullptr)
            cudaFreeHost(host_word_);
    }

    // count T of the device's memory; false when there is not enough.
    template <typename T>
    bool allocate(T*& pointer, std::int64_t count)
    {
        void* p = nullptr;
        if (count_ == MAX_BUFFERS || cudaMalloc(&p, static_cast<std::size_t>(count) * sizeof(T)) != cudaSuccess)
            return false;
        buffers_[count_++] = p;
        pointer = static_cast<T*>(p);
        return true;
    }

    // A word of the host's memory that the device reads: the host's pointer
    // and the device's.
    cudaError_t allocate_host_word(volatile std::int32_t*& host, const volatile std::int32_t*& device)
    {
        if (const cudaError_t e = cudaHostAlloc(&host_word_, sizeof(std::int32_t), cudaHostAllocMapped);
            e != cudaSuccess)
            return e;
        host = static_cast<volatile std::int32_t*>(host_word_);
        *host = 0;
        void* on_device = nullptr;
        const cudaError_t e = cudaHostGetDevicePointer(&on_device, host_word_, 0);
        device = static_cast<const volatile std::int32_t*>(on_device);
        return e;
    }

private:
    static constexpr int MAX_BUFFERS = 16;
    void* buffers_[MAX_BUFFERS] = {};
    int count_ = 0;
    void* host_word_ = nullptr;
};

class cuda_device final : public device {
public:
    cuda_device(int number, std::int64_t slots)
        : plan_(slots)
        , number_(number)
    {
        const cudaDeviceProp properties = open_device(number);
        const std::string named = "device " + std::to_string(number) + " (" + properties.name + ")";
        std::size_t free_bytes = 0;
        std::size_t total_bytes = 0;
        cudaMemGetInfo(&free_bytes, &total_bytes);
        std::uint16_t* prefix = nullptr;
        std::uint8_t* gaps = nullptr;
        const bool allocated = buffers_.allocate(memory_.walkers, plan_.slots) &&
            buffers_.allocate(memory_.sums, plan_.slots) && buffers_.allocate(memory_.lane_slots, plan_.slots) &&
            buffers_.allocate(memory_.runs, plan_.runs) && buffers_.allocate(memory_.records, plan_.records) &&
            buffers_.allocate(memory_.run_starts, plan_.runs) && buffers_.allocate(memory_.run_totals, plan_.runs) &&
            buffers_.allocate(memory_.group_starts, plan_.groups) &&
            buffers_.allocate(memory_.group_totals, plan_.groups) && buffers_.allocate(memory_.total, 1) &&
            buffers_.allocate(memory_.skipped, 1) && buffers_.allocate(prefix, MODULUS + 1) &&
            buffers_.allocate(gaps, RESIDUES);
        if (!allocated)
            unavailable(named + " has not enough free memory: a count takes " + megabytes(plan_.bytes()) + ", and " +
                        megabytes(free_bytes) + " of its " + megabytes(total_bytes) + " are free");
        if (const cudaError_t e = buffers_.allocate_host_word(host_stop_, device_stop_); e != cudaSuccess)
            unavailable(named + " cannot read the host's memory: " + error_text(e));
        memory_.wheel = wheel_view{prefix, gaps};
        const detail::wheel_tables_view tables = detail::wheel_tables();
        to_device(prefix, tables.prefix_count, (MODULUS + 1) * sizeof(std::uint16_t));
        to_device(gaps, tables.gaps, RESIDUES);
        const std::int32_t zero = 0;
        to_device(memory_.skipped, &zero, sizeof(zero));
    }

    // The buffers go back to the device they came from.
    ~cuda_device() override { cudaSetDevice(number_); }

    round_memory& memory() override { return memory_; }
    const memory_plan& plan() const override { return plan_; }

    void to_device(void* destination, const void* source, std::size_t bytes) override
    {
        make_current();
        check(cudaMemcpy(destination, source, bytes, cudaMemcpyHostToDevice), "a copy to the device");
    }
    void from_device(void* destination, const void* source, std::size_t bytes) override
    {
        make_current();
        check(cudaMemcpy(destination, source, bytes, cudaMemcpyDeviceToHost), "a copy from the device");
    }

    void launch(kernel k, const grid& g) override
    {
        make_current();
        const auto blocks = static_cast<unsigned>(g.blocks);
        const auto threads = static_cast<unsigned>(g.threads);
        if (k == kernel::count)
            count_kernel<<<blocks, threads, TABLE_BYTES>>>(memory_, g.lanes, device_stop_);
        else
            round_kernel<<<blocks, threads>>>(k, memory_, g.lanes);
        check(cudaGetLastError(), "a kernel launch");
    }

    void stop() override { *host_stop_ = 1; }

private:
    // The CUDA runtime's current device is the calling thread's: the device
    // is opened on one thread and counts on the pool's.
    void make_current() { check(cudaSetDevice(number_), "cudaSetDevice"); }

    device_buffers buffers_;  // first: given back after everything else
    memory_plan plan_;
    int number_;
    round_memory memory_{};
    volatile std::int32_t* host_stop_ = nullptr;
    const volatile std::int32_t* device_stop_ = nullptr;
};

}  // namespace

std::unique_ptr<device> open_cuda_device(int number, std::int64_t slots)
{
    return std::make_unique<cuda_device>(number, slots);
}

device_description describe_cuda_device(int number)
{
    const cudaDeviceProp properties = open_device(number);
    return device_description{properties.name, properties.major, properties.minor, properties.multiProcessorCount,
                              properties.totalGlobalMem};
}

}  // namespace roughpi::gpu

int roughpi::gpu_device_count() noexcept
{
    int count = 0;
    return cudaGetDeviceCount(&count) == cudaSuccess ? count : 0;
}
