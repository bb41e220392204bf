#!/bin/bash
# A single-node Slurm (munged, slurmctld, slurmd) in a folder of its own, for
# the farm test: `single_node_slurm.sh start DIR` writes a minimal
# configuration, starts the daemons and waits until the node takes jobs;
# `single_node_slurm.sh stop DIR` stops them. Clients use SLURM_CONF=DIR/slurm.conf.
# Exit status 77 when Slurm or munge is not installed or cannot start here.
set -u
action=$1
dir=$(realpath -m "$2")

# Stops the daemons and waits until they are gone (they remove their pid files).
stop() {
  for daemon in slurmd slurmctld munged; do
    [ -f "$dir/$daemon.pid" ] || continue
    pid=$(cat "$dir/$daemon.pid")
    kill "$pid" 2>/dev/null
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  return 0
}

if [ "$action" = stop ]; then stop; exit 0; fi

for program in munged mungekey slurmctld slurmd sbatch sinfo; do
  command -v "$program" >/dev/null || PATH=$PATH:/usr/sbin command -v "$program" >/dev/null ||
    { echo "$program is not installed (Debian: slurm-wlm, munge)"; exit 77; }
done
export PATH=$PATH:/usr/sbin
mkdir -p "$dir/state" "$dir/spool" "$dir/munge"
chmod 700 "$dir/munge"
node=$(hostname -s)
# Ports of its own, so that it never meets another Slurm on the machine.
base=$((20000 + ($$ % 20000)))
user=$(id -un)
cpus=$(nproc)
# Half the machine's memory, in megabytes, so that jobs asking for --mem fit
# (Slurm takes a node without RealMemory to have 1 MB).
memory=$(( $(awk '/^MemTotal:/ {print $2}' /proc/meminfo) / 2048 ))

mungekey --create --keyfile="$dir/munge/munge.key" --force >/dev/null 2>&1 ||
  { echo "mungekey failed"; exit 77; }
chmod 400 "$dir/munge/munge.key"
munged --key-file="$dir/munge/munge.key" --socket="$dir/munge/munge.socket" \
  --pid-file="$dir/munged.pid" --log-file="$dir/munged.log" --seed-file="$dir/munge/seed" \
  --force 2>>"$dir/munged.log" || { echo "munged did not start: $(tail -1 "$dir/munged.log")"; exit 77; }

cat >"$dir/slurm.conf" <<CONF
ClusterName=brumelfarmtest
SlurmctldHost=$node
SlurmUser=$user
SlurmdUser=$user
SlurmctldPort=$base
SlurmdPort=$((base + 1))
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge/munge.socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
ReturnToService=2
NodeName=$node NodeAddr=127.0.0.1 CPUs=$cpus RealMemory=$memory State=UNKNOWN
PartitionName=farm Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF=$dir/slurm.conf
slurmctld -i -f "$SLURM_CONF" 2>>"$dir/slurmctld.log" || { stop; echo "slurmctld did not start"; exit 77; }
slurmd -f "$SLURM_CONF" 2>>"$dir/slurmd.log" || { stop; echo "slurmd did not start"; exit 77; }
for _ in $(seq 1 60); do
  state=$(sinfo -h -o %t 2>/dev/null)
  case "$state" in idle*|mix*|alloc*) exit 0 ;; esac
  sleep 0.5
done
echo "the node did not come up (state \"$state\"): $(tail -2 "$dir/slurmctld.log" "$dir/slurmd.log" | tr '\n' ' ')"
stop
exit 77
