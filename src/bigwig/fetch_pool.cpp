// fetch_pool.cpp - the pool's thread: requests queued in submission order,
// started while their host is under the cap, driven by curl_multi_poll,
// their answers checked, retried after a wait or handed to their tickets.
#include "bigwig/fetch_pool.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <thread>
#include <unordered_map>

namespace binscope::bigwig {

using Clock = std::chrono::steady_clock;

RangeTicket::RangeTicket(std::string url, std::uint64_t offset, std::size_t length, bool may_end_early,
                         std::optional<std::uint64_t> known_size)
    : url_(std::move(url)), offset_(offset), length_(length), may_end_early_(may_end_early), known_size_(known_size) {}

Result<std::span<const std::uint8_t>> RangeTicket::wait() {
    std::unique_lock lock(mutex_);
    answered_.wait(lock, [this] { return result_.has_value(); });
    if (!*result_) return fail(result_->error());
    return std::span<const std::uint8_t>(bytes_);
}

void RangeTicket::answer(Result<std::size_t> got, std::uint64_t file_size) {
    std::lock_guard lock(mutex_);
    if (got) {
        file_size_ = file_size;
        result_ = Status{};
    } else {
        bytes_ = {};
        result_ = Status(fail(std::move(got.error())));
    }
    answered_.notify_all();
}

namespace {

// A request on its way through the pool.
struct Job {
    std::shared_ptr<RangeTicket> ticket;
    AnswerHook on_done;
    FetchPool::Need need = FetchPool::Need::now;
    std::string host;
    int attempt = 1;
    std::chrono::milliseconds backoff{0};
    Clock::time_point due;  // of the next try, while waiting
    Transfer transfer;
    CURL* handle = nullptr;  // while in flight
};

// "scheme://authority" of a URL: the connections a cap counts.
std::string host_of(const std::string& url) {
    const std::size_t scheme = url.find("://");
    const std::size_t from = scheme == std::string::npos ? 0 : scheme + 3;
    return url.substr(0, url.find_first_of("/?#", from));
}

}  // namespace

struct FetchPool::State {
    State(std::size_t cap, const HttpSettings& s) : per_host(std::max<std::size_t>(cap, 1)), settings(s) {}

    void run();
    // Moves submitted jobs and jobs whose wait is over to ready.
    bool take_new(std::deque<std::unique_ptr<Job>>& ready);
    void start_ready(std::deque<std::unique_ptr<Job>>& ready);
    void start(std::unique_ptr<Job> job);
    // Handles the transfers libcurl has finished; false when none had.
    bool collect();
    void finished(std::unique_ptr<Job> job, CURLcode code);
    void give_answer(Job& job, Result<std::size_t> got);
    std::chrono::milliseconds poll_wait() const;
    void shut_down(std::deque<std::unique_ptr<Job>>& ready);

    std::size_t per_host;
    HttpSettings settings;
    CURLM* multi = nullptr;
    std::atomic<std::size_t> most{0};
    std::mutex mutex;  // guards submitted and stopping
    std::deque<std::unique_ptr<Job>> submitted;
    bool stopping = false;
    // The pool thread's own.
    std::vector<std::unique_ptr<Job>> waiting;  // for their next try
    std::unordered_map<Job*, std::unique_ptr<Job>> active;
    std::map<std::string, std::size_t> in_flight;
    std::vector<CURL*> idle;  // handles to use again
    std::thread thread;
};

bool FetchPool::State::take_new(std::deque<std::unique_ptr<Job>>& ready) {
    bool stop = false;
    {
        std::lock_guard lock(mutex);
        // Requests needed now go after those needed now already waiting,
        // before those for later.
        auto later = std::find_if(ready.begin(), ready.end(), [](const auto& j) { return j->need != Need::now; });
        for (auto& job : submitted) {
            if (job->need == Need::now) {
                later = std::next(ready.insert(later, std::move(job)));
            } else {
                ready.push_back(std::move(job));
            }
        }
        submitted.clear();
        stop = stopping;
    }
    // Tries again go first: their requests were asked for earlier.
    const auto now = Clock::now();
    for (auto it = waiting.begin(); it != waiting.end();) {
        if ((*it)->due <= now) {
            ready.push_front(std::move(*it));
            it = waiting.erase(it);
        } else {
            ++it;
        }
    }
    return !stop;
}

void FetchPool::State::start_ready(std::deque<std::unique_ptr<Job>>& ready) {
    for (auto it = ready.begin(); it != ready.end();) {
        if (in_flight[(*it)->host] >= per_host) {
            ++it;
            continue;
        }
        auto job = std::move(*it);
        it = ready.erase(it);
        start(std::move(job));
    }
}

void FetchPool::State::start(std::unique_ptr<Job> job) {
    CURL* c = nullptr;
    if (!idle.empty()) {
        c = idle.back();
        idle.pop_back();
    } else {
        c = new_range_handle(settings);
    }
    if (!c) {
        give_answer(*job, fail("transfer failed: libcurl could not be started"));
        return;
    }
    RangeTicket& ticket = *job->ticket;
    ticket.bytes_.resize(ticket.length_);
    job->transfer = Transfer{};
    job->transfer.out = ticket.bytes_;
    job->transfer.offset = ticket.offset_;
    job->transfer.may_end_early = ticket.may_end_early_;
    job->transfer.known_size = ticket.known_size_;
    aim_range_handle(c, ticket.url_, job->transfer);
    curl_easy_setopt(c, CURLOPT_PRIVATE, job.get());
    job->handle = c;
    curl_multi_add_handle(multi, c);
    ++in_flight[job->host];
    const std::size_t total = active.size() + 1;
    if (total > most.load(std::memory_order_relaxed)) most.store(total, std::memory_order_relaxed);
    active.emplace(job.get(), std::move(job));
}

bool FetchPool::State::collect() {
    bool any = false;
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
        if (msg->msg != CURLMSG_DONE) continue;
        Job* raw = nullptr;
        curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &raw);
        const CURLcode code = msg->data.result;
        auto it = active.find(raw);
        if (it == active.end()) continue;
        auto job = std::move(it->second);
        active.erase(it);
        finished(std::move(job), code);
        any = true;
    }
    return any;
}

void FetchPool::State::finished(std::unique_ptr<Job> job, CURLcode code) {
    curl_multi_remove_handle(multi, job->handle);
    --in_flight[job->host];
    bool retry = false;
    auto got = conclude_transfer(job->transfer, code, job->handle, retry);
    idle.push_back(job->handle);
    job->handle = nullptr;
    if (!got && retry && job->attempt < settings.attempts) {
        auto wait = job->attempt == 1 ? settings.first_backoff : job->backoff * 4;
        job->backoff = wait;
        if (job->transfer.retry_after)
            wait = std::max(wait, std::min<std::chrono::milliseconds>(*job->transfer.retry_after,
                                                                      settings.max_retry_after));
        ++job->attempt;
        job->due = Clock::now() + wait;
        waiting.push_back(std::move(job));
        return;
    }
    give_answer(*job, std::move(got));
}

void FetchPool::State::give_answer(Job& job, Result<std::size_t> got) {
    RangeTicket& ticket = *job.ticket;
    if (got) ticket.bytes_.resize(*got);
    // The hook sees the answer before any waiter does.
    if (job.on_done) {
        if (got)
            job.on_done(ticket, std::span<const std::uint8_t>(ticket.bytes_));
        else
            job.on_done(ticket, fail(got.error()));
    }
    ticket.answer(std::move(got), job.transfer.total);
}

std::chrono::milliseconds FetchPool::State::poll_wait() const {
    auto wait = std::chrono::milliseconds(1000);
    const auto now = Clock::now();
    for (const auto& job : waiting)
        wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(std::max(job->due - now, Clock::duration{})));
    return wait;
}

void FetchPool::State::shut_down(std::deque<std::unique_ptr<Job>>& ready) {
    for (auto& [raw, job] : active) {
        curl_multi_remove_handle(multi, job->handle);
        idle.push_back(job->handle);
        ready.push_back(std::move(job));
    }
    active.clear();
    for (auto& job : waiting) ready.push_back(std::move(job));
    waiting.clear();
    for (auto& job : ready) give_answer(*job, fail("transfer failed: the run ended before the answer"));
    ready.clear();
    for (CURL* c : idle) curl_easy_cleanup(c);
    idle.clear();
}

void FetchPool::State::run() {
    std::deque<std::unique_ptr<Job>> ready;
    for (;;) {
        if (!take_new(ready)) break;
        start_ready(ready);
        int running = 0;
        curl_multi_perform(multi, &running);
        if (collect()) continue;
        curl_multi_poll(multi, nullptr, 0, static_cast<int>(poll_wait().count()), nullptr);
    }
    shut_down(ready);
}

FetchPool::FetchPool(std::size_t per_host, const HttpSettings& settings)
    : state_(std::make_unique<State>(per_host, settings)) {
    start_libcurl();
    state_->multi = curl_multi_init();
    curl_multi_setopt(state_->multi, CURLMOPT_PIPELINING, CURLPIPE_MULTIPLEX);
    curl_multi_setopt(state_->multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(state_->per_host));
    state_->thread = std::thread([s = state_.get()] { s->run(); });
}

FetchPool::~FetchPool() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    curl_multi_wakeup(state_->multi);
    state_->thread.join();
    curl_multi_cleanup(state_->multi);
}

void FetchPool::submit(std::shared_ptr<RangeTicket> ticket, AnswerHook on_done, Need need) {
    auto job = std::make_unique<Job>();
    job->need = need;
    job->host = host_of(ticket->url_);
    job->ticket = std::move(ticket);
    job->on_done = std::move(on_done);
    const std::size_t length = job->ticket->length_;
    if (length == 0 || length > kMaxRequestBytes) {
        state_->give_answer(*job, fail(fmt::format("a request of {} bytes is out of bounds", length)));
        return;
    }
    {
        std::lock_guard lock(state_->mutex);
        state_->submitted.push_back(std::move(job));
    }
    curl_multi_wakeup(state_->multi);
}

const HttpSettings& FetchPool::settings() const { return state_->settings; }

std::size_t FetchPool::most_in_flight() const { return state_->most.load(); }

}  // namespace binscope::bigwig
