#pragma once
// The Lua script that applies a batch of learning or forgetting on the Redis server, as
// the caller worked it out (batch_changes.h) from how it believed each message was learned
// before. The script checks that belief first, atomically: when any message is learned
// otherwise now (another node taught it meanwhile) nothing is written and the answer is
// how each message stands, for the caller to work the batch out again. Each token is read
// and written in a few commands for the whole batch, never one command per token; counts
// never go below zero; the least recently learned tokens go beyond "Max Tokens".
//
// KEYS: spam, ham, seen, messages, totals.
// ARGV: the time, the most tokens (0: no limit), the number of messages checked, the
// number of messages written, the change of the spam and of the ham total; then each
// message checked, its digest and how it was learned ("spam", "ham" or ""); each message
// written, its digest and how it ends ("" forgotten); each token changed, its field and
// the change of its spam and its ham count.
// Answers 1 when it applied the batch, else an array of how each checked message stands.

namespace kz::bayes {

inline constexpr const char* kRedisLearning = R"lua(
local now, most = ARGV[1], tonumber(ARGV[2])
local checked, written = tonumber(ARGV[3]), tonumber(ARGV[4])
local piece = 1000  -- arguments of one command, well below Lua's limit of unpack
local function apply(command, key, args, flag)
  for at = 1, #args, piece do
    if flag then
      redis.call(command, key, flag, unpack(args, at, math.min(#args, at + piece - 1)))
    else
      redis.call(command, key, unpack(args, at, math.min(#args, at + piece - 1)))
    end
  end
end
-- The values of `count` fields named from ARGV[first] on, one every `stride`.
local function fetch(key, first, count, stride)
  local values = {}
  for at = 0, count - 1, piece do
    local fields = {}
    for j = at, math.min(count, at + piece) - 1 do fields[#fields + 1] = ARGV[first + j * stride] end
    local got = redis.call('HMGET', key, unpack(fields))
    for j = 1, #got do values[#values + 1] = got[j] end
  end
  return values
end

local states, differ = fetch(KEYS[4], 7, checked, 2), false
for j = 1, checked do
  states[j] = states[j] or ''
  if states[j] ~= ARGV[7 + 2 * j - 1] then differ = true end
end
if differ then return states end

local at = 7 + 2 * checked
local set, drop = {}, {}
for j = at, at + 2 * written - 1, 2 do
  if ARGV[j + 1] == '' then drop[#drop + 1] = ARGV[j]
  else set[#set + 1] = ARGV[j]; set[#set + 1] = ARGV[j + 1] end
end
apply('HSET', KEYS[4], set)
apply('HDEL', KEYS[4], drop)

at = at + 2 * written
local n = (#ARGV - at + 1) / 3
local needHam = false
for j = at, #ARGV, 3 do
  if ARGV[j + 2] ~= '0' or tonumber(ARGV[j + 1]) <= 0 then needHam = true; break end
end
local spam = fetch(KEYS[1], at, n, 3)
local ham = needHam and fetch(KEYS[2], at, n, 3) or {}
local setSpam, dropSpam, setHam, dropHam, seen, unseen = {}, {}, {}, {}, {}, {}
local function change(set, drop, token, was, step)
  local count = (tonumber(was) or 0) + step
  if step ~= 0 then
    if count > 0 then set[#set + 1] = token; set[#set + 1] = count
    else drop[#drop + 1] = token end
  end
  return count
end
for j = 1, n do
  local f = at + 3 * (j - 1)
  local token, stepSpam, stepHam = ARGV[f], tonumber(ARGV[f + 1]), tonumber(ARGV[f + 2])
  local s = change(setSpam, dropSpam, token, spam[j], stepSpam)
  local h = change(setHam, dropHam, token, ham[j], stepHam)
  if stepSpam > 0 or stepHam > 0 then seen[#seen + 1] = now; seen[#seen + 1] = token
  elseif s <= 0 and h <= 0 then unseen[#unseen + 1] = token end
end
apply('HSET', KEYS[1], setSpam)
apply('HDEL', KEYS[1], dropSpam)
apply('HSET', KEYS[2], setHam)
apply('HDEL', KEYS[2], dropHam)
apply('ZADD', KEYS[3], seen, 'GT')
apply('ZREM', KEYS[3], unseen)

for class, step in pairs({spam = tonumber(ARGV[5]), ham = tonumber(ARGV[6])}) do
  if step ~= 0 and redis.call('HINCRBY', KEYS[5], class, step) < 0 then
    redis.call('HSET', KEYS[5], class, 0)
  end
end

if most > 0 then
  local keep = most - math.floor(most / 10)
  local drop = redis.call('ZCARD', KEYS[3]) - keep
  if drop > most - keep then
    while drop > 0 do
      local take = math.min(drop, piece)
      local oldest = redis.call('ZRANGE', KEYS[3], 0, take - 1)
      redis.call('HDEL', KEYS[1], unpack(oldest))
      redis.call('HDEL', KEYS[2], unpack(oldest))
      redis.call('ZREMRANGEBYRANK', KEYS[3], 0, take - 1)
      drop = drop - take
    end
  end
end
return 1
)lua";

}  // namespace kz::bayes
