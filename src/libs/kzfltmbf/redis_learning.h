#pragma once
// The Lua script that learns and forgets on the Redis server, with the same outcome as
// the SQLite store's transaction: each message once by its digest, counts never below
// zero, the least recently learned tokens dropped beyond "Max Tokens".
//
// KEYS: spam, ham, seen, messages, totals.
// ARGV: "learn" or "forget", "spam" or "ham", the time, the most tokens (0: no limit),
// then for each message its digest, its number of tokens and the tokens.
// Answers 1 or 0 for each message: whether it changed anything.

namespace kz::bayes {

inline constexpr const char* kRedisLearning = R"lua(
local mode, category, now, most = ARGV[1], ARGV[2], ARGV[3], tonumber(ARGV[4])
local delta, totals, decided, changed = {}, {spam = 0, ham = 0}, {}, {}
local function count(from, n, class, step)
  totals[class] = totals[class] + step
  for t = from, from + n - 1 do
    local d = delta[ARGV[t]]
    if not d then d = {spam = 0, ham = 0}; delta[ARGV[t]] = d end
    d[class] = d[class] + step
  end
end
local i = 5
while i <= #ARGV do
  local digest, n = ARGV[i], tonumber(ARGV[i + 1])
  local before = decided[digest]
  if before == nil then before = redis.call('HGET', KEYS[4], digest) end
  local change
  if mode == 'learn' then
    change = before ~= category
    if change then
      if before then count(i + 2, n, before, -1) end
      count(i + 2, n, category, 1)
      decided[digest] = category
    end
  else
    change = before == category
    if change then
      count(i + 2, n, category, -1)
      decided[digest] = false
    end
  end
  changed[#changed + 1] = change and 1 or 0
  i = i + 2 + n
end
for digest, class in pairs(decided) do
  if class then redis.call('HSET', KEYS[4], digest, class) else redis.call('HDEL', KEYS[4], digest) end
end
local function add(key, token, step)
  if step == 0 then return false end
  if redis.call('HINCRBY', key, token, step) <= 0 then redis.call('HDEL', key, token) end
  return true
end
for token, d in pairs(delta) do
  local touched = add(KEYS[1], token, d.spam)
  touched = add(KEYS[2], token, d.ham) or touched
  if d.spam > 0 or d.ham > 0 then
    redis.call('ZADD', KEYS[3], 'GT', now, token)
  elseif touched and redis.call('HEXISTS', KEYS[1], token) == 0
      and redis.call('HEXISTS', KEYS[2], token) == 0 then
    redis.call('ZREM', KEYS[3], token)
  end
end
for class, step in pairs(totals) do
  if step ~= 0 and redis.call('HINCRBY', KEYS[5], class, step) < 0 then
    redis.call('HSET', KEYS[5], class, 0)
  end
end
if mode == 'learn' and most > 0 then
  local keep = most - math.floor(most / 10)
  local drop = redis.call('ZCARD', KEYS[3]) - keep
  if drop > most - keep then
    while drop > 0 do
      local take = math.min(drop, 1000)
      local oldest = redis.call('ZRANGE', KEYS[3], 0, take - 1)
      redis.call('HDEL', KEYS[1], unpack(oldest))
      redis.call('HDEL', KEYS[2], unpack(oldest))
      redis.call('ZREMRANGEBYRANK', KEYS[3], 0, take - 1)
      drop = drop - take
    end
  end
end
return changed
)lua";

}  // namespace kz::bayes
